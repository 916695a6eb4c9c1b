// Kept apart: Xlib's macros (Bool, Status) clash with Qt's headers.

#include <X11/Xlib.h>

namespace zelvant::cli {

bool CanOpenX11Display() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return false;
    }
    XCloseDisplay(display);
    return true;
}

}  // namespace zelvant::cli
