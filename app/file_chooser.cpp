#include "file_chooser.h"

namespace quavix_shell {

namespace {

void AddFilter(GtkWidget* Chooser, const char* Name, const char* const* Patterns) {
    GtkFileFilter* Filter = gtk_file_filter_new();
    gtk_file_filter_set_name(Filter, Name);
    for (; *Patterns; ++Patterns) gtk_file_filter_add_pattern(Filter, *Patterns);
    gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(Chooser), Filter);
}

}  // namespace

GtkWidget* NewFileChooser(GtkWindow* Parent, GtkFileChooserAction Action) {
    GtkWidget* Chooser = gtk_file_chooser_dialog_new("Open track", Parent, Action, GTK_STOCK_CANCEL,
                                                     GTK_RESPONSE_CANCEL, GTK_STOCK_OPEN, GTK_RESPONSE_OK,
                                                     nullptr);
    gtk_window_set_modal(GTK_WINDOW(Chooser), TRUE);
    // A double click on a file, or Enter, chooses it.
    gtk_dialog_set_default_response(GTK_DIALOG(Chooser), GTK_RESPONSE_OK);
    // Module files first (".xm", ".mod", ".s3m", ".it", and the Amiga habit "mod.name");
    // every file stays one choice away, since songs are not always named by
    // their format.
    static const char* const ModulePatterns[] = {"*.[xX][mM]", "*.[mM][oO][dD]", "*.[sS]3[mM]", "*.[iI][tT]",
                                                    "[mM][oO][dD].*", nullptr};
    static const char* const AllPatterns[] = {"*", nullptr};
    AddFilter(Chooser, "Tracker modules (*.xm, *.mod, *.s3m, *.it)", ModulePatterns);
    AddFilter(Chooser, "All files", AllPatterns);
    return Chooser;
}

}  // namespace quavix_shell
