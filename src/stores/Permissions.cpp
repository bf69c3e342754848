#include "stores/Permissions.h"

#include <cctype>

namespace kx {

bool Permissions::isUrl(std::string_view text)
{
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || !std::isalpha(static_cast<unsigned char>(text[0])))
        return false;
    for (const char c : text.substr(0, colon)) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
            return false;
    }
    // RFC 3986 characters only: no blanks, quotes or controls, so the text reaches the handler as one
    // argument meaning what it says.
    constexpr std::string_view allowed = "-._~:/?#[]@!$&'()*+,;=%";
    for (const char c : text) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && allowed.find(c) == std::string_view::npos)
            return false;
    }
    return true;
}

void Permissions::open(platform::Workspace& workspace, const std::string& url, std::function<void()> failed)
{
    if (isUrl(url))
        workspace.open(url, std::move(failed));
}

}  // namespace kx
