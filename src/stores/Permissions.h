#pragma once
// Where the user grants the two permissions: the desktop's own help on them, opened by the setup
// window and the walkthrough.

#include "platform/Workspace.h"

#include <string>
#include <string_view>

namespace kx {

class Permissions {
public:
    /// Assistive technologies reach applications over the AT-SPI bus, which the desktop's
    /// accessibility settings turn on; its help page says where.
    static constexpr std::string_view accessibilityPane = "help:gnome-help/a11y";
    /// X11 has no switch for watching keys; the keyboard help is the nearest page.
    static constexpr std::string_view inputMonitoringPane = "help:gnome-help/keyboard";

    /// Opens url with the desktop's default handler; a text that is not a URL does nothing.
    static void open(platform::Workspace& workspace, const std::string& url);

private:
    /// A scheme, a colon, and only characters a URL may hold.
    static bool isUrl(std::string_view text);
};

}  // namespace kx
