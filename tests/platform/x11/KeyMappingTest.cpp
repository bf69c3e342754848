#include "platform/x11/KeyMapping.h"

#include "platform/KeyStroke.h"

#include <gtest/gtest.h>

// After GoogleTest: X.h defines None.
#include <X11/X.h>
#include <X11/keysym.h>

namespace kx::platform::x11 {
namespace {

// The modifier map of an evdev keymap with us and il, as xmodmap -pm shows it.
ModifierMap usualMap()
{
    ModifierMap map;
    map[0] = {{50, {XK_Shift_L}}, {62, {XK_Shift_R}}};
    map[1] = {{66, {XK_Caps_Lock}}};
    map[2] = {{37, {XK_Control_L}}, {105, {XK_Control_R}}};
    map[3] = {{64, {XK_Alt_L, XK_Meta_L}}, {108, {XK_Alt_R, XK_Meta_R, XK_ISO_Level3_Shift}}, {204, {XK_Alt_L}}};
    map[4] = {{77, {XK_Num_Lock}}};
    map[6] = {{133, {XK_Super_L}}, {134, {XK_Super_R}}};
    map[7] = {{92, {XK_ISO_Level3_Shift}}, {203, {XK_Mode_switch}}};
    return map;
}

// The modifier roles come from the keys on each modifier, wherever the keymap put them.
TEST(ModifierRoles, FoundFromTheKeysOnEachModifier)
{
    const auto roles = rolesFromModifierMap(usualMap());
    EXPECT_EQ(roles.alt, Mod1Mask);
    EXPECT_EQ(roles.numLock, Mod2Mask);
    EXPECT_EQ(roles.super, Mod4Mask);
    EXPECT_EQ(roles.level3, Mod5Mask);
    for (const unsigned keycode : {50u, 66u, 37u, 64u, 77u, 133u, 92u, 108u})
        EXPECT_TRUE(roles.modifierKeys.test(keycode)) << keycode;
    EXPECT_FALSE(roles.modifierKeys.test(38));

    ModifierMap moved;
    moved[5] = {{64, {XK_Alt_L}}};
    moved[3] = {{92, {XK_ISO_Level3_Shift}}};
    const auto other = rolesFromModifierMap(moved);
    EXPECT_EQ(other.alt, Mod3Mask);
    EXPECT_EQ(other.level3, Mod1Mask);
    EXPECT_EQ(other.super, 0u);
}

struct KeyRow {
    const char* what;
    unsigned keycode;
    unsigned state;
    std::optional<std::uint16_t> code;  // none: not handed on
    std::uint64_t flags;
};

constexpr std::uint64_t optionCommand = EventFlags::option | EventFlags::command;

// X key presses become key-downs by position and modifier role; the two hot keys become ⌥⌘K/⌥⌘Z.
TEST(KeyDownFromX, ByPositionAndRole)
{
    const auto roles = rolesFromModifierMap(usualMap());
    const KeyRow rows[] = {
        {"a", 38, 0, 0, 0},
        {"Shift+a", 38, ShiftMask, 0, EventFlags::shift},
        {"a with Caps Lock", 38, LockMask, 0, EventFlags::capsLock},
        {"a with NumLock, group 2", 38, Mod2Mask | (1u << 13), 0, 0},
        {"AltGr+a", 38, Mod5Mask, 0, EventFlags::option},
        {"Alt+a", 38, Mod1Mask, 0, EventFlags::control},
        {"Super+a", 38, Mod4Mask, 0, EventFlags::control},
        {"Ctrl+z", 52, ControlMask, 6, EventFlags::command},
        {"Return", 36, 0, 36, 0},
        {"BackSpace", 22, 0, 51, 0},
        {"Ctrl+Alt+K", 45, ControlMask | Mod1Mask, 40, optionCommand},
        {"Ctrl+Alt+Z", 52, ControlMask | Mod1Mask, 6, optionCommand},
        {"Ctrl+Alt+K, Caps and NumLock", 45, ControlMask | Mod1Mask | LockMask | Mod2Mask, 40,
         optionCommand | EventFlags::capsLock},
        {"Ctrl+Alt+Shift+K", 45, ControlMask | Mod1Mask | ShiftMask, 40,
         EventFlags::command | EventFlags::control | EventFlags::shift},
        {"Ctrl+Alt+Super+K", 45, ControlMask | Mod1Mask | Mod4Mask, 40, EventFlags::command | EventFlags::control},
        {"Ctrl+Alt+L", 46, ControlMask | Mod1Mask, 37, EventFlags::command | EventFlags::control},
        {"Alt+K", 45, Mod1Mask, 40, EventFlags::control},
        {"Shift_L itself", 50, 0, std::nullopt, 0},
        {"Caps_Lock itself", 66, 0, std::nullopt, 0},
        {"ISO_Level3_Shift itself", 92, 0, std::nullopt, 0},
        {"F1, no virtual code", 67, 0, std::nullopt, 0},
    };
    for (const auto& row : rows) {
        const auto event = keyDownFromX(row.keycode, row.state, roles);
        ASSERT_EQ(event.has_value(), row.code.has_value()) << row.what;
        if (!event)
            continue;
        EXPECT_EQ(event->type, TapEventType::keyDown) << row.what;
        EXPECT_EQ(event->code, *row.code) << row.what;
        EXPECT_EQ(event->flags, row.flags) << row.what;
        EXPECT_FALSE(event->marked) << row.what;
    }
}

// Left and right presses are handed on with where they happened; the middle button and the wheel are not.
TEST(MouseDownFromX, LeftAndRightOnly)
{
    const auto left = mouseDownFromX(Button1, 100, 200);
    ASSERT_TRUE(left);
    EXPECT_EQ(left->type, TapEventType::leftMouseDown);
    EXPECT_EQ(left->location, (ScreenPoint{100, 200}));
    const auto right = mouseDownFromX(Button3, -5, 7);
    ASSERT_TRUE(right);
    EXPECT_EQ(right->type, TapEventType::rightMouseDown);
    EXPECT_EQ(right->location, (ScreenPoint{-5, 7}));
    EXPECT_FALSE(mouseDownFromX(Button2, 0, 0));
    EXPECT_FALSE(mouseDownFromX(Button4, 0, 0));
}

// Text is typed by keysym: Latin-1 as itself, everything else in the Unicode keysym range.
TEST(PostingMaps, KeysymForScalar)
{
    EXPECT_EQ(keysymForScalar(U'a'), XK_a);
    EXPECT_EQ(keysymForScalar(U'é'), XK_eacute);
    EXPECT_EQ(keysymForScalar(U'ש'), 0x10005E9u);
    EXPECT_EQ(keysymForScalar(U'😀'), 0x101F600u);
    EXPECT_EQ(keysymForScalar(U'\n'), XK_Return);
    EXPECT_EQ(keysymForScalar(U'\t'), XK_Tab);
    EXPECT_FALSE(keysymForScalar(U'\a'));
    EXPECT_FALSE(keysymForScalar(0x85));
}

// A layout's key counts for a character when it types that character, whatever keysym names it:
// the layouts name their letters with legacy keysyms, the text to type comes as Unicode ones.
TEST(PostingMaps, KeysAreComparedByTheCharacterTheyType)
{
    struct Row {
        std::uint32_t typed;
        char32_t wanted;
        bool same;
    };
    const Row rows[] = {
        {XK_hebrew_shin, U'ש', true},
        {XK_hebrew_finalkaph, U'ך', true},
        {XK_Cyrillic_a, U'а', true},
        {XK_Cyrillic_IO, U'Ё', true},
        {XK_Greek_omega, U'ω', true},
        {XK_Arabic_alef, U'ا', true},
        {XK_a, U'a', true},
        {XK_eacute, U'é', true},
        {XK_Return, U'\n', true},
        {XK_Tab, U'\t', true},
        {XK_a, U'A', false},
        {XK_Cyrillic_a, U'a', false},
        {XK_hebrew_kaph, U'ך', false},
        {XK_Shift_L, U'a', false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(typesSameCharacter(row.typed, *keysymForScalar(row.wanted)), row.same)
            << std::hex << row.typed << " for U+" << static_cast<std::uint32_t>(row.wanted);
}

}  // namespace
}  // namespace kx::platform::x11
