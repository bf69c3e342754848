#include "platform/LayoutCatalog.h"

#include <unicode/uloc.h>
#include <xkbcommon/xkbregistry.h>

#include <map>
#include <mutex>
#include <utility>

namespace kx::platform {

namespace {

// ISO 639-2 code -> ISO 639-1 code, for every language that has both.
const std::map<std::string, std::string>& twoLetterCodes()
{
    static const std::map<std::string, std::string> codes = [] {
        std::map<std::string, std::string> map;
        for (const char* const* code = uloc_getISOLanguages(); *code; ++code) {
            const std::string two = *code;
            const std::string three = uloc_getISO3Language(*code);
            if (two.size() == 2 && three.size() == 3)
                map.emplace(three, two);
        }
        return map;
    }();
    return codes;
}

std::string twoLetterWhereKnown(const std::string& code)
{
    const auto& codes = twoLetterCodes();
    const auto found = codes.find(code);
    return found == codes.end() ? code : found->second;
}

// "layout" or "layout(variant)" -> description, read from the registry once.
using Catalog = std::map<std::string, LayoutDescription, std::less<>>;

std::string keyOf(std::string_view layout, std::string_view variant)
{
    std::string key(layout);
    if (!variant.empty())
        key += "(" + std::string(variant) + ")";
    return key;
}

Catalog readCatalog()
{
    Catalog catalog;
    rxkb_context* context = rxkb_context_new(RXKB_CONTEXT_NO_FLAGS);
    if (!context)
        return catalog;
    if (rxkb_context_parse_default_ruleset(context)) {
        for (rxkb_layout* layout = rxkb_layout_first(context); layout; layout = rxkb_layout_next(layout)) {
            const char* variant = rxkb_layout_get_variant(layout);
            const char* description = rxkb_layout_get_description(layout);
            LayoutDescription entry{description ? description : "", {}};
            for (rxkb_iso639_code* code = rxkb_layout_get_iso639_first(layout); code;
                 code = rxkb_iso639_code_next(code)) {
                entry.languages.push_back(twoLetterWhereKnown(rxkb_iso639_code_get_code(code)));
            }
            catalog.emplace(keyOf(rxkb_layout_get_name(layout), variant ? variant : ""), std::move(entry));
        }
    }
    rxkb_context_unref(context);
    return catalog;
}

}  // namespace

std::optional<LayoutDescription> LayoutCatalog::describe(std::string_view layout, std::string_view variant)
{
    static std::once_flag once;
    static Catalog catalog;
    std::call_once(once, [] { catalog = readCatalog(); });
    const auto found = catalog.find(keyOf(layout, variant));
    if (found == catalog.end())
        return std::nullopt;
    return found->second;
}

}  // namespace kx::platform
