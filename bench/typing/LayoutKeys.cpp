#include "LayoutKeys.h"

#include "platform/Text.h"

#include <xkbcommon/xkbcommon.h>

#include <array>
#include <map>

namespace kx::bench {

namespace {

// The keys a typist reaches for text: the digit row, the three letter rows with their
// punctuation, and Space. The keypad and the extra key of pc105 keyboards stay out, so a
// character always comes from the key a user of that layout would press.
constexpr std::array mainBlock = {10u, 11u, 12u, 13u, 14u, 15u, 16u, 17u, 18u, 19u, 20u, 21u, 24u, 25u, 26u, 27u,
                                  28u, 29u, 30u, 31u, 32u, 33u, 34u, 35u, 38u, 39u, 40u, 41u, 42u, 43u, 44u, 45u,
                                  46u, 47u, 48u, 49u, 51u, 52u, 53u, 54u, 55u, 56u, 57u, 58u, 59u, 60u, 61u, 65u};

struct ContextDeleter {
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
};
struct KeymapDeleter {
    void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
};
struct StateDeleter {
    void operator()(xkb_state* state) const { xkb_state_unref(state); }
};

}  // namespace

struct LayoutKeys::Compiled {
    std::size_t groups = 0;
    // What each (keycode, shift) types per group, and the first stroke typing each character.
    std::map<std::pair<unsigned, bool>, std::vector<std::string>> texts;
    std::vector<std::map<char32_t, Stroke>> strokes;
};

std::optional<LayoutKeys> LayoutKeys::compile(const std::string& layouts)
{
    const std::unique_ptr<xkb_context, ContextDeleter> context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (!context)
        return std::nullopt;
    const xkb_rule_names names{
        .rules = "evdev", .model = "pc105", .layout = layouts.c_str(), .variant = "", .options = ""};
    const std::unique_ptr<xkb_keymap, KeymapDeleter> keymap(
        xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap)
        return std::nullopt;
    const std::unique_ptr<xkb_state, StateDeleter> state(xkb_state_new(keymap.get()));
    const xkb_mod_mask_t shiftMask = 1u << xkb_keymap_mod_get_index(keymap.get(), XKB_MOD_NAME_SHIFT);

    auto compiled = std::make_unique<Compiled>();
    compiled->groups = xkb_keymap_num_layouts(keymap.get());
    compiled->strokes.resize(compiled->groups);
    // Unshifted first: a character on both levels is typed without Shift.
    for (const bool shift : {false, true}) {
        for (const unsigned keycode : mainBlock) {
            auto& texts = compiled->texts[{keycode, shift}];
            for (xkb_layout_index_t group = 0; group < compiled->groups; ++group) {
                xkb_state_update_mask(state.get(), shift ? shiftMask : 0, 0, 0, 0, 0, group);
                std::string text(16, '\0');
                const int length = xkb_state_key_get_utf8(state.get(), keycode, text.data(), text.size());
                text.resize(length > 0 && static_cast<std::size_t>(length) < text.size() ? length : 0);
                const std::u32string scalars = text::toScalars(text);
                // Control characters (Escape, Delete) are not text.
                if (scalars.size() == 1 && scalars[0] >= 0x20 && scalars[0] != 0x7F)
                    compiled->strokes[group].try_emplace(scalars[0], Stroke{keycode, shift});
                else
                    text.clear();
                texts.push_back(text);
            }
        }
    }
    return LayoutKeys(std::move(compiled));
}

LayoutKeys::LayoutKeys(std::unique_ptr<Compiled> compiled) : m_compiled(std::move(compiled)) {}
LayoutKeys::LayoutKeys(LayoutKeys&&) noexcept = default;
LayoutKeys& LayoutKeys::operator=(LayoutKeys&&) noexcept = default;
LayoutKeys::~LayoutKeys() = default;

std::size_t LayoutKeys::groupCount() const
{
    return m_compiled->groups;
}

std::optional<std::vector<Stroke>> LayoutKeys::strokesFor(std::string_view text, unsigned group) const
{
    if (group >= m_compiled->groups)
        return std::nullopt;
    std::vector<Stroke> strokes;
    for (const char32_t scalar : text::toScalars(text)) {
        const auto found = m_compiled->strokes[group].find(scalar);
        if (found == m_compiled->strokes[group].end())
            return std::nullopt;
        strokes.push_back(found->second);
    }
    return strokes;
}

std::string LayoutKeys::textOf(const Stroke& stroke, unsigned group) const
{
    const auto found = m_compiled->texts.find({stroke.keycode, stroke.shift});
    return found == m_compiled->texts.end() || group >= m_compiled->groups ? std::string() : found->second[group];
}

std::string LayoutKeys::textOf(const std::vector<Stroke>& strokes, unsigned group) const
{
    std::string text;
    for (const Stroke& stroke : strokes)
        text += textOf(stroke, group);
    return text;
}

}  // namespace kx::bench
