#pragma once
// A small process of ours that keeps serving the clipboard after the program quits. On X11 the
// clipboard's data lives in its owner, so where no clipboard manager takes it over, quitting would
// empty it. The keeper runs apart from the program (a session of its own, none of its files), gets
// the data through a socket rather than its command line, and ends once another program takes the
// clipboard or the X server goes.

#include "platform/Pasteboard.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kx::platform::x11 {

class ClipboardKeeper {
public:
    /// The keeper's executable: beside the running one (the build tree), else in our prefix's
    /// folder for helper programs.
    static std::filesystem::path executable();
    /// Starts executable with item and waits up to timeout seconds until it owns the clipboard.
    /// False when it could not start or did not get the clipboard.
    static bool start(const std::filesystem::path& executable, const PasteboardItem& item, double timeout);

    /// item as the keeper reads it: for each type, its name's length, the name, the data's length
    /// and the data; lengths as 8-byte little-endian numbers.
    static std::string encode(const PasteboardItem& item);
    /// The item in bytes; none when they are cut short or malformed.
    static std::optional<PasteboardItem> decode(std::string_view bytes);
};

}  // namespace kx::platform::x11
