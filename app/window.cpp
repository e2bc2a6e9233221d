#include "window.h"

#include "file_chooser.h"
#include "probe.h"
#include "shell_files.h"
#include "song/song_text.h"

namespace quavix_shell {

TShellState Shell;

namespace {

constexpr const char* WindowTitle = "Quavix Player";

struct TButtonInfo {
    const char* StockId;
    int Id;
};
constexpr TButtonInfo Buttons[] = {
    {GTK_STOCK_OPEN, OpenButtonId},
    {GTK_STOCK_STOP, StopButtonId},
    {GTK_STOCK_ABOUT, AboutButtonId},
};

// Test hook: the centre of a button in the coordinates of the main window.
void ProbeButton(GtkWidget*, GtkAllocation* Area, gpointer Data) {
    ProbeLine("button " + std::to_string(GPOINTER_TO_INT(Data)) + " " + std::to_string(Area->x + Area->width / 2) +
              " " + std::to_string(Area->y + Area->height / 2));
}

// Test hook: each folder the chooser shows.
void ProbeChooserFolder(GtkFileChooser* Chooser, gpointer) {
    gchar* Folder = gtk_file_chooser_get_current_folder(Chooser);
    ProbeLine(std::string("chooser ") + (Folder ? Folder : ""));
    g_free(Folder);
}

void OpenWithChooser(GtkWidget* MainWindow) {
    GtkWidget* Chooser = NewFileChooser(GTK_WINDOW(MainWindow), GTK_FILE_CHOOSER_ACTION_OPEN);
    if (ProbeActive()) g_signal_connect(Chooser, "current-folder-changed", G_CALLBACK(ProbeChooserFolder), nullptr);
    const std::string& LastPath = Shell.Session.LastPath;
    if (!QuavixTrimBlanks(LastPath).empty())
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(Chooser), LastPath.c_str());
    // Only OK goes on; cancelling leaves the song that plays playing.
    if (gtk_dialog_run(GTK_DIALOG(Chooser)) == GTK_RESPONSE_OK) {
        // A chooser that answers OK without a local file (a remote location)
        // has nothing to open, and the song that plays goes on.
        if (gchar* FileName = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(Chooser))) {
            OpenChosenFile(FileName);
            g_free(FileName);
        }
    }
    gtk_widget_destroy(Chooser);
}

// Test hook: the frame's label as the frame holds it.
void ProbeLabel() {
    if (!ProbeActive()) return;
    const gchar* Shown = gtk_frame_get_label(GTK_FRAME(Shell.MainFrame));
    ProbeLine(std::string("label ") + (Shown ? Shown : ""));
}

}  // namespace

void SetFrameLabel(const std::string& Text) {
    gtk_frame_set_label(GTK_FRAME(Shell.MainFrame), Text.c_str());
    ProbeLabel();
}

void SetStatus(const std::string& Text) {
    gtk_label_set_text(GTK_LABEL(Shell.StatusLabel), Text.c_str());
    if (Text.empty())
        gtk_widget_hide(Shell.StatusLabel);
    else
        gtk_widget_show(Shell.StatusLabel);
    if (ProbeActive()) ProbeLine("status " + Text);
}

void OpenChosenFile(const std::string& FileName) {
    const TTrackView View = OpenTrack(Shell.Session, FileName);
    // The status first: once the label has changed, both are shown.
    SetStatus(View.Status);
    SetFrameLabel(View.Label);
}

void BuildMainWindow() {
    Shell.MainWindow = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(Shell.MainWindow), WindowTitle);
    g_signal_connect(Shell.MainWindow, "delete_event", G_CALLBACK(WindowDeleted), nullptr);
    gtk_container_set_border_width(GTK_CONTAINER(Shell.MainWindow), 10);

    Shell.MainFrame = gtk_frame_new(NoTrackLabel);
    Shell.WindowBox = gtk_vbox_new(FALSE, 5);
    gtk_container_add(GTK_CONTAINER(Shell.MainWindow), Shell.WindowBox);
    Shell.MainBox = gtk_hbox_new(FALSE, 0);
    gtk_box_pack_start(GTK_BOX(Shell.WindowBox), Shell.MainBox, TRUE, TRUE, 0);
    // Under the frame, the status line: hidden until there is a reason to show.
    Shell.StatusLabel = gtk_label_new("");
    gtk_label_set_line_wrap(GTK_LABEL(Shell.StatusLabel), TRUE);
    gtk_misc_set_alignment(GTK_MISC(Shell.StatusLabel), 0, 0.5);
    gtk_widget_set_no_show_all(Shell.StatusLabel, TRUE);
    gtk_box_pack_start(GTK_BOX(Shell.WindowBox), Shell.StatusLabel, FALSE, FALSE, 0);

    Shell.ButtonBox = gtk_hbutton_box_new();
    gtk_container_set_border_width(GTK_CONTAINER(Shell.ButtonBox), 5);
    gtk_container_add(GTK_CONTAINER(Shell.MainFrame), Shell.ButtonBox);
    gtk_button_box_set_layout(GTK_BUTTON_BOX(Shell.ButtonBox), GTK_BUTTONBOX_SPREAD);
    gtk_box_set_spacing(GTK_BOX(Shell.ButtonBox), 10);

    for (const TButtonInfo& Info : Buttons) {
        GtkWidget* Button = gtk_button_new_from_stock(Info.StockId);
        g_object_set_data(G_OBJECT(Button), "main_window", Shell.MainWindow);
        g_signal_connect(Button, "clicked", G_CALLBACK(ButtonClicked), GINT_TO_POINTER(Info.Id));
        if (ProbeActive())
            g_signal_connect(Button, "size-allocate", G_CALLBACK(ProbeButton), GINT_TO_POINTER(Info.Id));
        gtk_container_add(GTK_CONTAINER(Shell.ButtonBox), Button);
    }

    gtk_box_pack_start(GTK_BOX(Shell.MainBox), Shell.MainFrame, TRUE, TRUE, 0);
    gtk_widget_show_all(Shell.MainWindow);
    ProbeLabel();
}

void ButtonClicked(GtkWidget* Widget, gpointer Data) {
    GtkWidget* MainWindow = GTK_WIDGET(g_object_get_data(G_OBJECT(Widget), "main_window"));
    switch (GPOINTER_TO_INT(Data)) {
        case OpenButtonId:
            OpenWithChooser(MainWindow);
            break;
        case StopButtonId:
            if (Shell.Session.Player) {
                StopTrack(Shell.Session);
                SetStatus("");
                SetFrameLabel(NoTrackLabel);
            }
            break;
        case AboutButtonId:
            ShowAbout();
            break;
        default:
            g_print("Something is wrong here!!!.\r\n");
    }
}

gboolean WindowDeleted(GtkWidget*, GdkEvent*, gpointer) {
    gtk_main_quit();
    return FALSE;
}

void ShowAbout() {
    // The text goes through "%s", so that no character of it is ever taken
    // for a format directive.
    GtkWidget* About =
        gtk_message_dialog_new(GTK_WINDOW(Shell.MainWindow),
                               GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT), GTK_MESSAGE_INFO,
                               GTK_BUTTONS_OK, "%s", AboutText);
    gtk_window_set_title(GTK_WINDOW(About), WindowTitle);
    gtk_dialog_run(GTK_DIALOG(About));
    gtk_widget_destroy(About);
}

}  // namespace quavix_shell
