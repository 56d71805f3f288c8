// Sends a window the close request a window manager's close button sends
// (WM_PROTOCOLS / WM_DELETE_WINDOW), for the end-to-end test on a bare X
// server. Usage: x_close_window <window id>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <window id>\n", argv[0]);
        return 2;
    }
    Display* Connection = XOpenDisplay(nullptr);
    if (Connection == nullptr) {
        std::fprintf(stderr, "%s: cannot open the X display\n", argv[0]);
        return 1;
    }
    const Window Target = std::strtoul(argv[1], nullptr, 0);
    XEvent Event{};
    Event.xclient.type = ClientMessage;
    Event.xclient.window = Target;
    Event.xclient.message_type = XInternAtom(Connection, "WM_PROTOCOLS", False);
    Event.xclient.format = 32;
    Event.xclient.data.l[0] = static_cast<long>(XInternAtom(Connection, "WM_DELETE_WINDOW", False));
    Event.xclient.data.l[1] = CurrentTime;
    const Status Sent = XSendEvent(Connection, Target, False, NoEventMask, &Event);
    XSync(Connection, False);
    XCloseDisplay(Connection);
    return Sent != 0 ? 0 : 1;
}
