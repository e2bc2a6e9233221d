// The Quavix Player window: one frame whose label shows what plays, with the
// open, stop and about buttons in it, and the program-wide state they act on.
#pragma once

#include <gtk/gtk.h>

#include <string>

#include "shell_session.h"

namespace quavix_shell {

// Button ids, given to ButtonClicked as its user data.
constexpr int OpenButtonId = 1;
constexpr int StopButtonId = 2;
constexpr int AboutButtonId = 3;

// Program-wide state, owned by the main program. Session holds the player
// and the remembered folder.
struct TShellState {
    TShellSession Session;
    std::string HomeDir;
    std::string SettingsDir;
    GtkWidget* MainWindow = nullptr;
    GtkWidget* MainFrame = nullptr;
    GtkWidget* MainBox = nullptr;
    GtkWidget* ButtonBox = nullptr;
    // The window's column: the box of the frame, and under it the status
    // line that says why a chosen file does not play.
    GtkWidget* WindowBox = nullptr;
    GtkWidget* StatusLabel = nullptr;
};
extern TShellState Shell;

// Builds the window with its frame and buttons and shows it.
void BuildMainWindow();

// Opens FileName as if it had been chosen in the file chooser, and shows
// the result in the frame's label.
void OpenChosenFile(const std::string& FileName);

// Sets the frame's label.
void SetFrameLabel(const std::string& Text);
// Sets the status line under the frame; it shows only while it holds text.
void SetStatus(const std::string& Text);

// "clicked" handler of the three buttons; Data is the button id.
void ButtonClicked(GtkWidget* Widget, gpointer Data);
// "delete_event" handler of the window: ends the main loop and lets the
// window be destroyed as usual.
gboolean WindowDeleted(GtkWidget* Widget, GdkEvent* Event, gpointer Data);
// The about box, modal on the main window.
void ShowAbout();

}  // namespace quavix_shell
