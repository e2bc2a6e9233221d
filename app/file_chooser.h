// The file chooser of the window.
//
// On the handheld the platform's file-management library makes it. Where that
// library is missing, a plain GTK file-chooser dialog stands in, with all the
// window relies on: a modal dialog on Parent, in the given mode, that
// implements the GTK file-chooser interface, takes a starting folder through
// gtk_file_chooser_set_current_folder, answers a chosen file with
// GTK_RESPONSE_OK and then yields the file's full path through
// gtk_file_chooser_get_filename. The platform's chooser also offers UPnP
// locations, which the window hides; the GTK dialog offers none, so there is
// nothing to hide. The platform's chooser replaces this one function.
#pragma once

#include <gtk/gtk.h>

namespace quavix_shell {

GtkWidget* NewFileChooser(GtkWindow* Parent, GtkFileChooserAction Action);

}  // namespace quavix_shell
