#include "platform/x11/KeyMapping.h"

#include "platform/KeyStroke.h"
#include "platform/VirtualKeys.h"

#include <X11/X.h>
#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>

namespace kx::platform::x11 {

namespace {

// X keycodes are evdev codes shifted by the 8 codes the core protocol reserves.
constexpr unsigned evdevOffset = 8;

// A modifier's role is what its keys type first (group 1, level 1): on a us,il map the right Alt
// key sits on Mod1 as Alt_R although it is the level-3 shift in the il group.
bool carries(const std::vector<ModifierKey>& keys, std::initializer_list<std::uint32_t> wanted)
{
    return std::any_of(keys.begin(), keys.end(), [&](const ModifierKey& key) {
        return !key.keysyms.empty() && std::find(wanted.begin(), wanted.end(), key.keysyms.front()) != wanted.end();
    });
}

}  // namespace

ModifierRoles rolesFromModifierMap(const ModifierMap& map)
{
    ModifierRoles roles;
    // Shift, Lock and Control are fixed by the protocol; Mod1-Mod5 are whatever their keys say.
    for (unsigned index = 3; index < map.size(); ++index) {
        const unsigned bit = 1u << index;
        const auto& keys = map[index];
        if (carries(keys, {XK_ISO_Level3_Shift, XK_Mode_switch}))
            roles.level3 |= bit;
        else if (carries(keys, {XK_Alt_L, XK_Alt_R, XK_Meta_L, XK_Meta_R}))
            roles.alt |= bit;
        else if (carries(keys, {XK_Super_L, XK_Super_R, XK_Hyper_L, XK_Hyper_R}))
            roles.super |= bit;
        else if (carries(keys, {XK_Num_Lock}))
            roles.numLock |= bit;
    }
    for (const auto& keys : map)
        for (const auto& key : keys)
            if (key.keycode < roles.modifierKeys.size())
                roles.modifierKeys.set(key.keycode);
    return roles;
}

std::uint64_t flagsFromState(unsigned state, const ModifierRoles& roles)
{
    std::uint64_t flags = 0;
    if (state & roles.shift)
        flags |= EventFlags::shift;
    if (state & roles.capsLock)
        flags |= EventFlags::capsLock;
    if (state & roles.ctrl)
        flags |= EventFlags::command;
    if (state & (roles.alt | roles.super))
        flags |= EventFlags::control;
    if (state & roles.level3)
        flags |= EventFlags::option;
    return flags;
}

std::optional<TapEvent> keyDownFromX(unsigned keycode, unsigned state, const ModifierRoles& roles)
{
    if (keycode < evdevOffset || (keycode < roles.modifierKeys.size() && roles.modifierKeys.test(keycode)))
        return std::nullopt;
    const auto code = VirtualKeys::virtualKeyCode(keycode - evdevOffset);
    if (!code)
        return std::nullopt;
    std::uint64_t flags = flagsFromState(state, roles);
    const unsigned chord = roles.shift | roles.ctrl | roles.alt | roles.super | roles.level3;
    const bool hotKeyChord = roles.alt != 0 && (state & chord & ~roles.alt) == roles.ctrl && (state & roles.alt) != 0;
    if (hotKeyChord && (*code == kKey || *code == zKey))
        flags = (flags & EventFlags::capsLock) | EventFlags::option | EventFlags::command;
    return TapEvent{.type = TapEventType::keyDown, .code = *code, .flags = flags, .marked = false, .location = {}};
}

std::optional<TapEvent> mouseDownFromX(unsigned button, int rootX, int rootY)
{
    TapEventType type;
    if (button == Button1)
        type = TapEventType::leftMouseDown;
    else if (button == Button3)
        type = TapEventType::rightMouseDown;
    else
        return std::nullopt;
    return TapEvent{.type = type,
                    .code = 0,
                    .flags = 0,
                    .marked = false,
                    .location = {static_cast<double>(rootX), static_cast<double>(rootY)}};
}

std::optional<unsigned> keycodeFromVirtualKey(std::uint16_t virtualKey)
{
    const auto evdev = VirtualKeys::evdevCode(virtualKey);
    if (!evdev)
        return std::nullopt;
    return *evdev + evdevOffset;
}

std::vector<std::uint32_t> modifierKeysymsForFlags(std::uint64_t flags)
{
    std::vector<std::uint32_t> keysyms;
    if (flags & EventFlags::command)
        keysyms.push_back(XK_Control_L);
    if (flags & EventFlags::control)
        keysyms.push_back(XK_Alt_L);
    if (flags & EventFlags::shift)
        keysyms.push_back(XK_Shift_L);
    if (flags & EventFlags::option)
        keysyms.push_back(XK_ISO_Level3_Shift);
    return keysyms;
}

std::optional<std::uint32_t> keysymForScalar(char32_t scalar)
{
    if (scalar == U'\n' || scalar == U'\r')
        return XK_Return;
    if (scalar == U'\t')
        return XK_Tab;
    if (scalar < 0x20 || (scalar >= 0x7F && scalar < 0xA0) || scalar > 0x10FFFF ||
        (scalar >= 0xD800 && scalar <= 0xDFFF))
        return std::nullopt;
    if (scalar < 0x100)
        return static_cast<std::uint32_t>(scalar);
    return 0x01000000u | static_cast<std::uint32_t>(scalar);
}

bool typesSameCharacter(std::uint32_t typed, std::uint32_t wanted)
{
    if (typed == wanted)
        return true;
    const std::uint32_t character = xkb_keysym_to_utf32(typed);
    return character != 0 && character == xkb_keysym_to_utf32(wanted);
}

}  // namespace kx::platform::x11
