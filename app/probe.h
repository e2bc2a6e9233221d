// Test hook. When the environment variable "QUAVIX_PLAYER_PROBE" names a
// file, the window appends to it, one line each, what a test driving it from
// outside cannot read off the screen: where each button sits, the frame's
// label each time it is set (as read back from the frame), the status line
// under the frame each time it is set, and each folder the file chooser
// shows. Without the variable nothing is written.
#pragma once

#include <string>

namespace quavix_shell {

bool ProbeActive();
void ProbeLine(const std::string& Line);

}  // namespace quavix_shell
