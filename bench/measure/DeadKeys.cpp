#include "DeadKeys.h"

#include "platform/VirtualKeys.h"

#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon.h>

#include <memory>

namespace kx::bench {
namespace {

struct XkbDeleter {
    void operator()(xkb_context* p) const { xkb_context_unref(p); }
    void operator()(xkb_keymap* p) const { xkb_keymap_unref(p); }
    void operator()(xkb_state* p) const { xkb_state_unref(p); }
};
template <typename T>
using XkbPtr = std::unique_ptr<T, XkbDeleter>;

// The accents that the texts' letters decompose to.
const std::map<xkb_keysym_t, char32_t> accents = {
    {XKB_KEY_dead_grave, U'\u0300'}, {XKB_KEY_dead_acute, U'\u0301'},     {XKB_KEY_dead_circumflex, U'\u0302'},
    {XKB_KEY_dead_tilde, U'\u0303'}, {XKB_KEY_dead_diaeresis, U'\u0308'},
};

}  // namespace

std::map<char32_t, KeyStroke> deadKeysOf(const std::string& layout)
{
    std::map<char32_t, KeyStroke> keys;
    XkbPtr<xkb_context> context(xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
    if (!context)
        return keys;
    // The rules the program compiles its own key tables with.
    const xkb_rule_names names{"evdev", "pc105", layout.c_str(), "", "lv3:ralt_switch"};
    XkbPtr<xkb_keymap> keymap(xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap)
        return keys;
    XkbPtr<xkb_state> state(xkb_state_new(keymap.get()));
    const xkb_mod_index_t shift = xkb_keymap_mod_get_index(keymap.get(), XKB_MOD_NAME_SHIFT);
    // Without modifiers first, so a key reached without Shift wins.
    for (const bool shifted : {false, true}) {
        xkb_state_update_mask(state.get(), shifted ? xkb_mod_mask_t(1) << shift : 0, 0, 0, 0, 0, 0);
        for (std::uint16_t code = 0; code < 128; ++code) {
            const auto evdev = platform::VirtualKeys::evdevCode(code);
            if (!evdev)
                continue;
            const auto accent = accents.find(xkb_state_key_get_one_sym(state.get(), *evdev + 8));
            if (accent != accents.end())
                keys.try_emplace(accent->second, KeyStroke{code, shifted ? EventFlags::shift : 0});
        }
    }
    return keys;
}

}  // namespace kx::bench
