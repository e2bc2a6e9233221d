// Asks a window to close as a window manager does when the user clicks its
// close button: a WM_DELETE_WINDOW message of the WM_PROTOCOLS kind.
//   close_window WINDOW_ID
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s WINDOW_ID\n", argv[0]);
        return 2;
    }
    Display* Screen = XOpenDisplay(nullptr);
    if (!Screen) {
        std::fprintf(stderr, "close_window: no X display\n");
        return 1;
    }
    const Window Target = std::strtoul(argv[1], nullptr, 0);
    XEvent Event{};
    Event.xclient.type = ClientMessage;
    Event.xclient.window = Target;
    Event.xclient.message_type = XInternAtom(Screen, "WM_PROTOCOLS", False);
    Event.xclient.format = 32;
    Event.xclient.data.l[0] = static_cast<long>(XInternAtom(Screen, "WM_DELETE_WINDOW", False));
    Event.xclient.data.l[1] = CurrentTime;
    XSendEvent(Screen, Target, False, NoEventMask, &Event);
    XCloseDisplay(Screen);
    return 0;
}
