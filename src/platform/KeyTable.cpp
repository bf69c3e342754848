#include "platform/KeyTable.h"

#include "platform/Log.h"
#include "platform/VirtualKeys.h"

#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <array>
#include <cstdarg>
#include <map>
#include <mutex>

namespace kx::platform {

namespace {

constexpr std::size_t kCells = std::size_t(KeyTable::keyCount) * KeyTable::modifierCombinations;

// Layout and variant names reach xkbcommon's include paths, so only plain names are accepted.
bool isPlainName(std::string_view name)
{
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    });
}

// xkb-data's own warnings are noise here; a layout that fails gets our own log line.
void dropXkbMessage(xkb_context*, xkb_log_level, const char*, va_list) {}

struct KeymapDeleter {
    void operator()(xkb_context* p) const { xkb_context_unref(p); }
    void operator()(xkb_keymap* p) const { xkb_keymap_unref(p); }
    void operator()(xkb_state* p) const { xkb_state_unref(p); }
};
template <typename T>
using XkbPtr = std::unique_ptr<T, KeymapDeleter>;

// The combining accent of each dead key that puts one accent on the letter after it.
char32_t accentOfDeadKey(xkb_keysym_t sym)
{
    static const std::map<xkb_keysym_t, char32_t> accents{
        {XKB_KEY_dead_grave, U'\u0300'},      {XKB_KEY_dead_acute, U'\u0301'},
        {XKB_KEY_dead_circumflex, U'\u0302'}, {XKB_KEY_dead_tilde, U'\u0303'},
        {XKB_KEY_dead_macron, U'\u0304'},     {XKB_KEY_dead_breve, U'\u0306'},
        {XKB_KEY_dead_abovedot, U'\u0307'},   {XKB_KEY_dead_diaeresis, U'\u0308'},
        {XKB_KEY_dead_abovering, U'\u030A'},  {XKB_KEY_dead_doubleacute, U'\u030B'},
        {XKB_KEY_dead_caron, U'\u030C'},      {XKB_KEY_dead_psili, U'\u0313'},
        {XKB_KEY_dead_dasia, U'\u0314'},      {XKB_KEY_dead_belowdot, U'\u0323'},
        {XKB_KEY_dead_cedilla, U'\u0327'},    {XKB_KEY_dead_ogonek, U'\u0328'},
        {XKB_KEY_dead_iota, U'\u0345'},
    };
    const auto found = accents.find(sym);
    return found == accents.end() ? 0 : found->second;
}

std::vector<KeyTable::Entry> keysOf(xkb_keymap* keymap)
{
    const xkb_mod_index_t shiftMod = xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_SHIFT);
    const xkb_mod_index_t capsMod = xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_CAPS);
    // lv3:ralt_switch puts LevelThree on Mod5.
    const xkb_mod_index_t level3Mod = xkb_keymap_mod_get_index(keymap, "Mod5");
    auto bit = [](xkb_mod_index_t index) -> xkb_mod_mask_t {
        return index == XKB_MOD_INVALID ? 0 : xkb_mod_mask_t(1) << index;
    };

    std::vector<KeyTable::Entry> entries;
    XkbPtr<xkb_state> state(xkb_state_new(keymap));
    if (!state)
        return entries;
    for (unsigned modifiers = 0; modifiers < KeyTable::modifierCombinations; ++modifiers) {
        const xkb_mod_mask_t depressed =
            ((modifiers & KeyTable::shift) ? bit(shiftMod) : 0) | ((modifiers & KeyTable::option) ? bit(level3Mod) : 0);
        const xkb_mod_mask_t locked = (modifiers & KeyTable::capsLock) ? bit(capsMod) : 0;
        xkb_state_update_mask(state.get(), depressed, 0, locked, 0, 0, 0);
        for (std::uint16_t code = 0; code < KeyTable::keyCount; ++code) {
            const auto evdev = VirtualKeys::evdevCode(code);
            if (!evdev)
                continue;
            // Dead keys have no text of their own, so they come out empty here.
            char buffer[64];
            const int length = xkb_state_key_get_utf8(state.get(), *evdev + 8, buffer, sizeof buffer);
            if (length > 0 && std::size_t(length) < sizeof buffer)
                entries.push_back({code, modifiers, std::string(buffer, std::size_t(length))});
            else if (const char32_t accent = accentOfDeadKey(xkb_state_key_get_one_sym(state.get(), *evdev + 8)))
                entries.push_back({code, modifiers, {}, accent});
        }
    }
    return entries;
}

KeyTable compile(const std::string& layout, const std::string& variant, const std::string& shown)
{
    XkbPtr<xkb_context> context(xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
    if (!context) {
        Log::line("keyboard layout " + shown + ": xkbcommon is unavailable; left out");
        return {};
    }
    xkb_context_set_log_fn(context.get(), dropXkbMessage);
    const xkb_rule_names names{"evdev", "pc105", layout.c_str(), variant.c_str(), "lv3:ralt_switch"};
    XkbPtr<xkb_keymap> keymap(xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap) {
        Log::line("keyboard layout " + shown + " is not in xkb-data; left out");
        return {};
    }
    KeyTable table = KeyTable::fromEntries(keysOf(keymap.get()));
    if (table.empty())
        Log::line("keyboard layout " + shown + " types nothing; left out");
    return table;
}

}  // namespace

struct KeyTable::Data {
    std::array<std::uint32_t, kCells + 1> offsets{};  // cell i is blob[offsets[i], offsets[i + 1])
    std::string blob;
    std::array<char32_t, kCells> deadAccents{};
};

KeyTable KeyTable::fromEntries(const std::vector<Entry>& entries)
{
    std::array<std::string_view, kCells> cells{};
    auto data = std::make_shared<Data>();
    bool any = false;
    for (const Entry& entry : entries) {
        if (entry.code >= keyCount || entry.modifiers >= modifierCombinations)
            continue;
        const std::size_t cell = std::size_t(entry.code) * modifierCombinations + entry.modifiers;
        cells[cell] = entry.text;
        data->deadAccents[cell] = entry.deadAccent;
        any = any || !entry.text.empty() || entry.deadAccent != 0;
    }
    KeyTable table;
    if (!any)
        return table;
    for (std::size_t i = 0; i < kCells; ++i) {
        data->offsets[i] = std::uint32_t(data->blob.size());
        data->blob += cells[i];
    }
    data->offsets[kCells] = std::uint32_t(data->blob.size());
    table.m_data = std::move(data);
    return table;
}

KeyTable KeyTable::forLayout(std::string_view layout, std::string_view variant)
{
    static std::mutex mutex;
    static std::map<std::string, KeyTable, std::less<>> compiled;

    if (layout.empty() || !isPlainName(layout) || !isPlainName(variant)) {
        Log::line("keyboard layout without a plain XKB name left out");
        return {};
    }
    const std::string shown =
        "'" + std::string(layout) + (variant.empty() ? "" : "(" + std::string(variant) + ")") + "'";
    std::lock_guard lock(mutex);
    if (auto found = compiled.find(shown); found != compiled.end())
        return found->second;
    KeyTable table = compile(std::string(layout), std::string(variant), shown);
    compiled.emplace(shown, table);
    return table;
}

std::string_view KeyTable::text(std::uint16_t code, unsigned modifiers) const
{
    if (!m_data || code >= keyCount || modifiers >= modifierCombinations)
        return {};
    const std::size_t cell = std::size_t(code) * modifierCombinations + modifiers;
    const std::uint32_t begin = m_data->offsets[cell];
    return {m_data->blob.data() + begin, m_data->offsets[cell + 1] - begin};
}

char32_t KeyTable::deadAccent(std::uint16_t code, unsigned modifiers) const
{
    if (!m_data || code >= keyCount || modifiers >= modifierCombinations)
        return 0;
    return m_data->deadAccents[std::size_t(code) * modifierCombinations + modifiers];
}

}  // namespace kx::platform
