#include "engine/LayoutRegistry.h"

#include "platform/LayoutCatalog.h"

#include <algorithm>

namespace kx {

namespace {

// The input-source id of a layout: "xkb:il", "xkb:us(dvorak)"; none when the source names no layout.
std::optional<std::string> idOf(const platform::InputSource& source)
{
    if (source.layout.empty())
        return std::nullopt;
    std::string id = "xkb:" + source.layout;
    if (!source.variant.empty())
        id += "(" + source.variant + ")";
    return id;
}

// The layout's value with the given fallback name; none when its keys cannot be compiled.
std::optional<KeyboardLayoutInfo> infoOf(const platform::InputSource& source, const std::optional<std::string>& id,
                                         const std::optional<std::string>& fallbackName)
{
    platform::KeyTable table = platform::KeyTable::forLayout(source.layout, source.variant);
    if (table.empty())
        return std::nullopt;
    KeyboardLayoutInfo info;
    info.id = id.value_or("?");
    const auto description = platform::LayoutCatalog::describe(source.layout, source.variant);
    if (description && !description->name.empty())
        info.localizedName = description->name;
    else
        info.localizedName = fallbackName.value_or(info.id);
    if (description)
        info.languages = description->languages;
    info.layoutData = std::move(table);
    info.source = source;
    return info;
}

}  // namespace

LayoutRegistry::LayoutRegistry(platform::InputSources& sources) : m_sources(sources) {}

void LayoutRegistry::refresh()
{
    std::vector<KeyboardLayoutInfo> fresh;
    for (const platform::InputSource& source : m_sources.enabled()) {
        auto info = infoOf(source, idOf(source), std::nullopt);
        if (!info)
            continue;
        // X11 lets one layout sit in two groups; the first one selects it.
        const bool listed = std::any_of(fresh.begin(), fresh.end(),
                                        [&](const KeyboardLayoutInfo& layout) { return layout.id == info->id; });
        if (!listed)
            fresh.push_back(std::move(*info));
    }
    layouts = std::move(fresh);
}

std::optional<KeyboardLayoutInfo> LayoutRegistry::currentLayout() const
{
    const auto source = m_sources.current();
    if (!source)
        return std::nullopt;
    return layoutOf(*source);
}

std::optional<KeyboardLayoutInfo> LayoutRegistry::layoutTypedIn(int handle) const
{
    if (handle < 0)
        return currentLayout();
    for (const platform::InputSource& source : m_sources.enabled())
        if (source.handle == handle)
            return layoutOf(source);
    return std::nullopt;
}

std::optional<KeyboardLayoutInfo> LayoutRegistry::layoutOf(const platform::InputSource& source) const
{
    const auto id = idOf(source);
    if (id) {
        const auto found = std::find_if(layouts.begin(), layouts.end(),
                                        [&](const KeyboardLayoutInfo& layout) { return layout.id == *id; });
        if (found != layouts.end())
            return *found;
    }
    return infoOf(source, id, "?");
}

}  // namespace kx
