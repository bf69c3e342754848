#include "engine/SelfTest.h"

#include "engine/DecisionEngine.h"
#include "engine/PrintedList.h"
#include "engine/SystemSpellOracle.h"
#include "engine/TranslationEngine.h"

namespace kx {

namespace {

std::vector<KeyStroke> keysOf(const std::vector<int>& codes)
{
    std::vector<KeyStroke> keys;
    for (const int code : codes)
        keys.push_back({static_cast<std::uint16_t>(code), 0});
    return keys;
}

std::vector<std::string> languagesOf(const std::vector<KeyboardLayoutInfo>& layouts)
{
    std::vector<std::string> languages;
    for (const KeyboardLayoutInfo& layout : layouts)
        languages.push_back(layout.language());
    return languages;
}

std::vector<KeyboardLayoutInfo> othersThan(const std::vector<KeyboardLayoutInfo>& layouts,
                                           const KeyboardLayoutInfo& layout)
{
    std::vector<KeyboardLayoutInfo> others;
    for (const KeyboardLayoutInfo& other : layouts) {
        if (other.id != layout.id)
            others.push_back(other);
    }
    return others;
}

const KeyboardLayoutInfo* firstLayout(const std::vector<KeyboardLayoutInfo>& layouts, std::string_view prefix,
                                      bool withPrefix)
{
    for (const KeyboardLayoutInfo& layout : layouts) {
        if (layout.language().starts_with(prefix) == withPrefix)
            return &layout;
    }
    return nullptr;
}

}  // namespace

void SelfTest::run(std::ostream& out, platform::InputSources& sources)
{
    LayoutRegistry registry(sources);
    registry.refresh();
    const std::vector<KeyboardLayoutInfo>& layouts = registry.layouts;
    SystemSpellOracle oracle;
    oracle.warmUp(languagesOf(layouts));

    std::vector<std::string> entries;
    for (const KeyboardLayoutInfo& layout : layouts)
        entries.push_back(layout.localizedName + "[" + layout.language() + "]");
    out << "enabled layouts: " << printedList(entries) << "\n";
    if (layouts.size() < 2) {
        out << "need >= 2 enabled keyboard layouts\n";
        return;
    }

    const KeyboardLayoutInfo* english = firstLayout(layouts, "en", true);
    const KeyboardLayoutInfo& a = english ? *english : layouts.front();
    const KeyboardLayoutInfo* b = firstLayout(layouts, "en", false);
    const KeyboardLayoutInfo* h = firstLayout(layouts, "he", true);

    scenario(out, sources, "A→other", a, {0, 40, 32, 31});
    if (b)
        scenario(out, sources, "other→A", *b, {4, 14, 37, 37, 31});
    if (h)
        retroScenario(out, *h, a, {{40, 4}, {13, 4, 16}, {0, 15, 14}});
    manualScenario(out, registry);
    if (!h)
        return;
    scenario(out, sources, "mark-terminated", a, {35, 43, 17, 32, 31});
    scenario(out, sources, "mark-terminated-2", *h, {5, 15, 14, 0, 17});
    const auto terminator = TranslationEngine::character(44, 0, h->layoutData);
    out << "  terminator '/' → Hebrew: '" << terminator.value_or("/") << "'\n";
    retroScenario(out, *h, a, {{40, 4}, {40, 14, 15, 14, 45}, {34, 1}});
    scenario(out, sources, "proper-noun", *h, {38, 14, 1, 32, 1});
    const std::vector<KeyboardLayoutInfo> othersThanA = othersThan(layouts, a);
    const std::vector<KeyboardLayoutInfo> othersThanH = othersThan(layouts, *h);
    runScenario(out, a, othersThanA, {{4, 9}, {4, 0}, {40, 37}});
    runScenario(out, a, othersThanA, {{17, 11, 4}, {3, 40}, {3, 37}});
    runScenario(out, *h, othersThanH, {{4, 9}, {4, 0}, {40, 37}});
    runScenario(out, a, othersThanA, {{13, 0, 45, 17}, {17, 31}});
    runScenario(out, a, othersThanA, {{17, 31}, {35, 32, 1, 4}});
    scenario(out, sources, "punct-as-letter", a, {40, 40, 3, 43});
    retroScenario(out, a, *h, {{17, 11, 4}, {45, 43}, {9, 8, 4, 43, 9}});
}

void SelfTest::scenario(std::ostream& out, platform::InputSources& sources, const std::string& name,
                        const KeyboardLayoutInfo& current, const Codes& codes)
{
    LayoutRegistry registry(sources);
    registry.refresh();
    SystemSpellOracle oracle;
    oracle.warmUp(languagesOf(registry.layouts));
    const std::vector<KeyboardLayoutInfo> others = othersThan(registry.layouts, current);
    const std::vector<KeyStroke> keys = keysOf(codes);

    out << "[" << name << "] typed via " << current.localizedName << ": '"
        << TranslationEngine::reconstruct(keys, current.layoutData) << "'\n";
    for (const KeyboardLayoutInfo& other : others)
        out << "  via " << other.localizedName << ": '" << TranslationEngine::reconstruct(keys, other.layoutData)
            << "'\n";
    const auto decision = DecisionEngine::decide(keys, current, others, oracle);
    if (!decision)
        out << "  DECISION: none\n";
    else
        out << "  DECISION: '" << decision->original << "' -> '" << decision->corrected << "'  (switch to "
            << decision->target.localizedName << ")\n";
}

void SelfTest::retroScenario(std::ostream& out, const KeyboardLayoutInfo& current, const KeyboardLayoutInfo& target,
                             const std::vector<Codes>& words)
{
    SystemSpellOracle oracle;
    oracle.warmUp({current.language(), target.language()});
    out << "[retro] current=" << current.localizedName << " target=" << target.localizedName
        << " (walk back, stop at first non-convertible)\n";
    for (const Codes& codes : words) {
        const std::vector<KeyStroke> keys = keysOf(codes);
        const std::string typed = TranslationEngine::reconstruct(keys, current.layoutData);
        const auto conversion =
            DecisionEngine::retroConvertible(keys, typed, current, target, oracle, current.language());
        out << "  '" << typed << "' -> ";
        if (conversion)
            out << "'" << *conversion << "'  (convert)\n";
        else
            out << "STOP (boundary)\n";
    }
}

void SelfTest::manualScenario(std::ostream& out, const LayoutRegistry& registry)
{
    const KeyboardLayoutInfo* english = firstLayout(registry.layouts, "en", true);
    const KeyboardLayoutInfo* hebrew = firstLayout(registry.layouts, "he", true);
    if (!english || !hebrew)
        return;
    out << "[manual] 'tuc rumv nchi' via ABC→Hebrew: '"
        << TranslationEngine::transliterate("tuc rumv nchi", english->layoutData, hebrew->layoutData) << "'\n";
    out << "[manual] 'יקךךם ׳םרךג' via Hebrew→ABC: '"
        << TranslationEngine::transliterate("יקךךם ׳םרךג", hebrew->layoutData, english->layoutData) << "'\n";
}

void SelfTest::runScenario(std::ostream& out, const KeyboardLayoutInfo& current,
                           const std::vector<KeyboardLayoutInfo>& others, const std::vector<Codes>& words)
{
    SystemSpellOracle oracle;
    std::vector<std::string> languages{current.language()};
    for (const std::string& language : languagesOf(others))
        languages.push_back(language);
    oracle.warmUp(languages);

    std::vector<DecisionEngine::RunWord> run;
    std::string shown;
    for (const Codes& codes : words) {
        std::vector<KeyStroke> keys = keysOf(codes);
        std::string typed = TranslationEngine::reconstruct(keys, current.layoutData);
        shown += (shown.empty() ? "" : " ") + typed;
        run.push_back({std::move(keys), std::move(typed)});
    }
    out << "[run] '" << shown << "' via " << current.localizedName << ":\n";
    const auto decision = DecisionEngine::decideRun(run, current, others, oracle);
    if (!decision) {
        out << "  RUN DECISION: none\n";
        return;
    }
    std::string converted;
    for (std::size_t i = run.size() - static_cast<std::size_t>(decision->wordCount); i < run.size(); ++i)
        converted +=
            (converted.empty() ? "" : " ") + TranslationEngine::reconstruct(run[i].keys, decision->target.layoutData);
    out << "  RUN DECISION: " << decision->wordCount << " words -> '" << converted << "'  (switch to "
        << decision->target.localizedName << ")\n";
}

}  // namespace kx
