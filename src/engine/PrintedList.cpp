#include "engine/PrintedList.h"

#include <cstdio>

namespace kx {

namespace {

std::string quoted(const std::string& item)
{
    std::string result = "\"";
    for (const char c : item) {
        switch (c) {
        case '"':
            result += "\\\"";
            break;
        case '\'':
            result += "\\'";
            break;
        case '\\':
            result += "\\\\";
            break;
        case '\n':
            result += "\\n";
            break;
        case '\r':
            result += "\\r";
            break;
        case '\t':
            result += "\\t";
            break;
        case '\0':
            result += "\\0";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                char escaped[16];
                std::snprintf(escaped, sizeof escaped, "\\u{%02X}",
                              static_cast<unsigned>(static_cast<unsigned char>(c)));
                result += escaped;
            } else {
                result += c;
            }
        }
    }
    return result + "\"";
}

}  // namespace

std::string printedList(const std::vector<std::string>& items)
{
    std::string result = "[";
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            result += ", ";
        result += quoted(items[i]);
    }
    return result + "]";
}

}  // namespace kx
