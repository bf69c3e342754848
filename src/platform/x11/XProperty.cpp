#include "platform/x11/XProperty.h"

#include <X11/Xlib.h>

namespace kx::platform::x11 {

void XFreeDeleter::operator()(void* data) const
{
    XFree(data);
}

std::optional<Property> readProperty(Display* display, Window window, Atom property, Atom type, long maxLength,
                                     bool remove)
{
    Property value;
    unsigned long remaining = 0;
    unsigned char* raw = nullptr;
    if (XGetWindowProperty(display, window, property, 0, maxLength, remove ? True : False, type, &value.type,
                           &value.format, &value.count, &remaining, &raw) != Success)
        return std::nullopt;
    value.data.reset(raw);
    return value;
}

std::string textProperty(Display* display, Window window, Atom property, Atom type, long maxLength)
{
    const auto value = readProperty(display, window, property, type, maxLength);
    if (!value || !value->data || value->type != type || value->format != 8)
        return {};
    return std::string(reinterpret_cast<const char*>(value->data.get()), value->count);
}

std::vector<unsigned long> longProperty(Display* display, Window window, Atom property, Atom type, long maxLength)
{
    const auto value = readProperty(display, window, property, type, maxLength);
    if (!value || !value->data || value->type != type || value->format != 32)
        return {};
    const auto* items = reinterpret_cast<const unsigned long*>(value->data.get());
    return std::vector<unsigned long>(items, items + value->count);
}

}  // namespace kx::platform::x11
