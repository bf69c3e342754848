#pragma once
// The status item's button, as the controller drives it: either the keyboard glyph or, for a short
// while, a line of text in its place.

#include "controller/StatusMenu.h"

#include <string>

namespace kx {

enum class GlyphTint { none, orange, tertiaryLabel };

struct StatusGlyph {
    bool slashed = false;
    GlyphTint tint = GlyphTint::none;
    bool appearsDisabled = false;
    std::string tooltip;
    bool operator==(const StatusGlyph&) const = default;
};

class StatusItemView {
public:
    virtual ~StatusItemView() = default;

    /// Clears the title and shows glyph.
    virtual void showGlyph(const StatusGlyph& glyph) = 0;
    /// Removes the image and shows text as the title.
    virtual void showText(const std::string& text) = 0;
    /// Replaces the menu's items; called at every rebuild.
    virtual void setMenu(const StatusMenu& menu) = 0;
    /// Whether the menu is on screen, where a change must reach it at once; a closed menu is
    /// built as it opens. A view that cannot tell says true.
    virtual bool menuShown() const { return true; }
};

}  // namespace kx
