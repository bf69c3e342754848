#pragma once
// Window properties read the one way Xlib offers (XGetWindowProperty), for the services that
// each read a few: names and pids of windows, the keymap's names, a selection's converted text.

#include <memory>
#include <optional>
#include <string>
#include <vector>

struct _XDisplay;

namespace kx::platform::x11 {

struct XFreeDeleter {
    void operator()(void* data) const;
};
using XData = std::unique_ptr<unsigned char, XFreeDeleter>;

/// A property's value as Xlib hands it over: count items of format bits (32-bit items as longs).
struct Property {
    unsigned long type = 0;  // None: the window has no such property
    int format = 0;
    unsigned long count = 0;
    XData data;
};

/// At most maxLength 32-bit units of window's property of type (AnyPropertyType: any), deleted
/// once read in full when remove; none when the server refused the request.
std::optional<Property> readProperty(_XDisplay* display, unsigned long window, unsigned long property,
                                     unsigned long type, long maxLength, bool remove = false);

/// The 8-bit items of a property of type; empty when absent or of another type or format.
std::string textProperty(_XDisplay* display, unsigned long window, unsigned long property, unsigned long type,
                         long maxLength = 1024);

/// The 32-bit items of a property of type; empty when absent or of another type or format.
std::vector<unsigned long> longProperty(_XDisplay* display, unsigned long window, unsigned long property,
                                        unsigned long type, long maxLength = 4096);

}  // namespace kx::platform::x11
