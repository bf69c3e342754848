#pragma once
// The general pasteboard (on X11 the CLIPBOARD selection): items of typed data, and a change
// count that moves whenever anyone clears it, so a writer can tell whether someone wrote after it.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kx::platform {

/// One item: its data (raw bytes) by type, types named as MIME types ("image/png").
using PasteboardItem = std::map<std::string, std::string>;

class Pasteboard {
public:
    virtual ~Pasteboard() = default;

    /// The type of plain text, which setString() writes and string() reads.
    static constexpr std::string_view stringType = "text/plain;charset=utf-8";

    /// Every item with every type whose data could be read, in order; empty when the pasteboard
    /// is empty or cannot be read.
    virtual std::vector<PasteboardItem> items() = 0;
    /// items(), when they can all be read within seconds; none when not (an owner that does not
    /// answer, or data too large to copy in that time).
    virtual std::optional<std::vector<PasteboardItem>> itemsWithin(double seconds) = 0;
    /// Empties the pasteboard and takes it over for writing; returns the new change count.
    virtual std::int64_t clearContents() = 0;
    /// Adds items after what was written since clearContents(). False when refused (nothing added).
    virtual bool writeItems(const std::vector<PasteboardItem>& items) = 0;
    /// Adds text as an item of stringType. False when refused.
    virtual bool setString(const std::string& text) = 0;
    /// The text of the first item holding stringType; none when there is none or it cannot be read.
    virtual std::optional<std::string> string() = 0;
    /// The change count; it only grows.
    virtual std::int64_t changeCount() = 0;
};

}  // namespace kx::platform
