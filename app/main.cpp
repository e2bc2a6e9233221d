// quavix-player: the Quavix Player window.
//
//   quavix-player [--help | --version] [FILE]
//
// Reads the command line before anything else (--help and --version answer
// without a display), prepares the settings directory, reads the remembered folder, shows the
// window and runs the GTK main loop; on the way out it remembers the folder
// and stops and destroys the player.
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "shell_files.h"
#include "shell_session.h"
#include "window.h"

using namespace quavix_shell;

namespace {

// A file given on the command line (as a desktop opens a song with the
// player), as a local path; a relative name is taken from the working folder.
std::string CommandLineFile(const char* Argument) {
    GFile* File = g_file_new_for_commandline_arg(Argument);
    gchar* Path = g_file_get_path(File);
    std::string Result = Path ? Path : "";
    g_free(Path);
    g_object_unref(File);
    return Result;
}

}  // namespace

int main(int argc, char** argv) {
    // GTK takes its own options out of the arguments, without opening the
    // display yet. What is left is at most a song to play at once, as if
    // chosen with the open button: a desktop starts the player that way for
    // a module file.
    gtk_parse_args(&argc, &argv);
    const TWindowCommandLine CommandLine = ReadWindowCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    switch (CommandLine.Action) {
        case TWindowCommandLine::TAction::Help:
        case TWindowCommandLine::TAction::Version:
            std::fputs(CommandLine.Text.c_str(), stdout);
            return CommandLine.ExitStatus;
        case TWindowCommandLine::TAction::Wrong:
            std::fputs(CommandLine.Text.c_str(), stderr);
            return CommandLine.ExitStatus;
        case TWindowCommandLine::TAction::Window:
            break;
    }

    const char* Home = std::getenv("HOME");
    Shell.HomeDir = Home ? Home : "";
    Shell.SettingsDir = SettingsDirFor(Home);
    if (!PrepareSettingsDir(Shell.SettingsDir)) {
        std::printf("ERROR: Couldn't create %s\n", Shell.SettingsDir.c_str());
        return 1;
    }
    const std::string LastPathFile = Shell.SettingsDir + LastPathFileName;
    Shell.Session.LastPath = ReadLastPath(LastPathFile);

    gtk_init(&argc, &argv);
    gtk_window_set_default_icon_name("quavix-player");
    BuildMainWindow();
    if (!CommandLine.File.empty()) {
        std::string FileName = CommandLineFile(CommandLine.File.c_str());
        if (!FileName.empty()) OpenChosenFile(FileName);
    }
    gtk_main();

    SaveLastPath(LastPathFile, Shell.Session.LastPath);
    StopTrack(Shell.Session);
    return 0;
}
