#include "controller/Permissions.h"

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

std::string Permissions::keyboardAccessSteps(const std::vector<std::string>& missing)
{
    const std::string lack = missing.empty() ? "Kestrelix cannot use this display's keyboard extensions"
                                             : "This display lacks " + joinedNames(missing);
    return "To see and type keys, Kestrelix needs the X server's XKB, XTEST and RECORD extensions. " + lack +
           ", so Kestrelix stays off here.\n\n"
           "No setting can add an extension to an X server that is running: log in to a new X11 session "
           "whose server has all three (Xorg has them unless it was started without them), then start "
           "Kestrelix there. Wayland sessions are not supported yet.";
}

std::string Permissions::joinedNames(const std::vector<std::string>& names)
{
    std::string joined;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0)
            joined += i + 1 == names.size() ? " and " : ", ";
        joined += names[i];
    }
    return joined;
}

void Permissions::open(platform::Workspace& workspace, const std::string& url, std::function<void()> failed)
{
    if (isUrl(url))
        workspace.open(url, std::move(failed));
}

}  // namespace kx
