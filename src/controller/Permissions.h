#pragma once
// Where the user grants the two permissions: the desktop's own help on them, opened by the setup
// window and the walkthrough.

#include "platform/Workspace.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

class Permissions {
public:
    /// Assistive technologies reach applications over the AT-SPI bus, which the desktop's
    /// accessibility settings turn on; its help page says where.
    static constexpr std::string_view accessibilityPane = "help:gnome-help/a11y";
    /// What to do when accessibility is off: the two ways the README gives.
    static constexpr std::string_view accessibilitySteps =
        "Kestrelix reads the text before the cursor over the accessibility bus (AT-SPI, package "
        "at-spi2-core). Turn accessibility on for your session in one of two ways, then restart the "
        "applications that were already open:\n\n"
        "• On GNOME: Settings → Accessibility, or run\n"
        "   gsettings set org.gnome.desktop.interface toolkit-accessibility true\n\n"
        "• On any desktop: add the line QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 to "
        "~/.config/environment.d/accessibility.conf (or export it in ~/.profile), then log out and back in.";
    /// What to do when keyboard access is missing. X11 has no switch for watching keys: what is
    /// missing is the server's, and only a new session can bring it. missing names the absent
    /// extensions; empty when they cannot be told.
    static std::string keyboardAccessSteps(const std::vector<std::string>& missing);
    /// "RECORD", "XTEST and RECORD", "XKB, XTEST and RECORD".
    static std::string joinedNames(const std::vector<std::string>& names);

    /// Opens url with the desktop's default handler; a text that is not a URL does nothing.
    /// failed as in Workspace::open.
    static void open(platform::Workspace& workspace, const std::string& url, std::function<void()> failed = {});

private:
    /// A scheme, a colon, and only characters a URL may hold.
    static bool isUrl(std::string_view text);
};

}  // namespace kx
