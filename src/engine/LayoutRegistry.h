#pragma once
// The enabled keyboard layouts that can type text, read from the desktop's input sources. Created
// empty and filled by refresh(); runs on its caller's thread without a lock.

#include "engine/KeyboardLayoutInfo.h"

#include <optional>
#include <vector>

namespace kx {

class LayoutRegistry {
public:
    /// sources must outlive the registry.
    explicit LayoutRegistry(platform::InputSources& sources);

    /// Re-reads the layouts. A source whose keys xkb-data cannot compile is left out, and a
    /// layout listed twice is kept once, at its first place.
    void refresh();
    /// The layout selected now: the registry's own entry when it has one, else one built from the
    /// source without adding it; none when there is no current source or its keys cannot be compiled.
    std::optional<KeyboardLayoutInfo> currentLayout() const;
    /// The layout of the source with this handle (the one a key was typed in), in the same way;
    /// the current one for a negative handle, none for a handle no enabled source has.
    std::optional<KeyboardLayoutInfo> layoutTypedIn(int handle) const;

    /// Replaced wholesale by each refresh(); in the desktop's order.
    std::vector<KeyboardLayoutInfo> layouts;

private:
    std::optional<KeyboardLayoutInfo> layoutOf(const platform::InputSource& source) const;

    platform::InputSources& m_sources;
};

}  // namespace kx
