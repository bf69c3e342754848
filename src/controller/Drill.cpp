#include "controller/Drill.h"

#include "engine/TranslationEngine.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/TimeText.h"

#include <algorithm>
#include <chrono>
#include <random>

namespace kx {

namespace {

constexpr double settleTimeout = 3.0;
constexpr double settlePoll = 0.1;
constexpr double focusPause = 0.12;
constexpr double layoutPause = 0.15;

const std::string rule = [] {
    std::string line;
    for (int i = 0; i < 52; ++i)
        line += "\u2500";
    return line;
}();

std::vector<std::string> words(std::string_view text)
{
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find(' ', start), text.size());
        if (end > start)
            pieces.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

std::string trimmedSpacesAndTabs(std::string_view s)
{
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return std::string(s.substr(first, s.find_last_not_of(" \t") - first + 1));
}

bool sameText(std::string_view a, std::string_view b)
{
    return a == b || text::nfc(a) == text::nfc(b);
}

}  // namespace

const std::vector<std::string> Drill::hebrew = {"אני רוצה ללכת הביתה",
                                                "מה שלומך",
                                                "זה לא טוב",
                                                "אני לא יודע",
                                                "בוא נלך",
                                                "תודה רבה",
                                                "מה קורה",
                                                "הכל בסדר",
                                                "אני צריך עזרה",
                                                "איפה אתה",
                                                "אין בעיה",
                                                "לילה טוב",
                                                "מה השעה",
                                                "אני מבין",
                                                "תן לי רגע",
                                                "אני כבר בא",
                                                "למה לא",
                                                "זה מה שיש",
                                                "אני חוזר הביתה",
                                                "שברתי את החלון",
                                                "אני לא רוצה",
                                                "בסדר גמור",
                                                "מה אתה עושה",
                                                "יש לי רעיון",
                                                "הכל טוב",
                                                "אני אוהב אותך",
                                                "צריך לדבר",
                                                "מחר בבוקר"};
const std::vector<std::string> Drill::hebrewPunctKeys = {"אני צריך ללכת", "את הבית",     "לרוץ מהר", "שברתי את החלון",
                                                         "תודה לך",       "בבקשה תן לי", "את זה לא", "אני רץ"};
const std::vector<std::string> Drill::hebrewAcronyms = {"ז\u05F4א", "תנ\u05F4ך", "צה\u05F4ל", "בד\u05F4כ"};
const std::vector<std::string> Drill::english = {
    "i want to go home",   "how are you",       "this is not good",    "i do not know",    "lets go now",
    "thank you very much", "what is happening", "everything is fine",  "i need some help", "where are you",
    "no problem at all",   "good night",        "what is the time",    "i understand",     "give me a second",
    "i am coming",         "why not",           "that is what i have", "i am going back",  "i broke the window"};
const std::vector<std::string> Drill::englishCaps = {"Hello there",   "Thank You",    "Good Morning",
                                                     "See You Later", "I Understand", "Come Here Now"};
const std::vector<std::string> Drill::englishApostrophes = {"dont worry", "it is fine", "we cant wait",
                                                            "that isnt right"};

struct Drill::Run : std::enable_shared_from_this<Run> {
    using Step = void (Drill::*)(const std::shared_ptr<Run>&);

    std::vector<PlanEntry> plan;
    std::size_t entry = 0;
    bool cancelled = false;

    // The sentence being typed.
    HistoryMark before;
    std::map<std::string, KeyStroke> keys;
    std::vector<std::vector<std::string>> words;  // the characters of each word
    std::size_t word = 0;
    std::size_t character = 0;

    // The pause under way: a cancel resumes it at once. Its block lives no longer than the run.
    std::optional<Step> pending;
    std::unique_ptr<TimerHandle> pauseTimer;

    // The settle wait.
    double waitStart = 0;
    HistoryMark lastMark;
    std::string lastText;
    int quiet = 0;
    Step afterWait = nullptr;
};

std::string_view Drill::rawValue(Pace pace)
{
    switch (pace) {
    case Pace::relaxed:
        return "relaxed";
    case Pace::fluent:
        return "fluent";
    case Pace::hostile:
        return "hostile";
    }
    return "relaxed";
}

std::optional<Drill::Pace> Drill::paceFromRaw(std::string_view raw)
{
    for (const Pace pace : allPaces)
        if (rawValue(pace) == raw)
            return pace;
    return std::nullopt;
}

std::string Drill::label(Pace pace)
{
    std::string text(rawValue(pace));
    text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text;
}

std::string_view Drill::description(Pace pace)
{
    switch (pace) {
    case Pace::relaxed:
        return "relaxed · 750 ms after each space";
    case Pace::fluent:
        return "fluent · 60 ms after each space";
    case Pace::hostile:
        return "hostile · 12 ms after each space, typing through the rewrite";
    }
    return {};
}

double Drill::characterPause(Pace pace)
{
    return pace == Pace::hostile ? 0.018 : 0.028;
}

double Drill::spacePause(Pace pace)
{
    constexpr std::array<double, 3> pauses = {0.75, 0.06, 0.012};
    return pauses[static_cast<std::size_t>(pace)];
}

std::string Drill::Fire::line() const
{
    std::string text = "'" + trigger + "'";
    if (sweptBack >= 1)
        text += " +" + std::to_string(sweptBack) + " back";
    if (kind != CorrectionKind::auto_)
        text += " (" + std::string(kx::rawValue(kind)) + ")";
    return text + " \u2192 " + result;
}

bool Drill::Outcome::passed() const
{
    return sameText(got, intended);
}

Drill::Drill(Services services) : m_services(services) {}

Drill::~Drill() = default;

void Drill::setPace(Pace pace)
{
    m_pace = pace;
    changed.notify();
}

int Drill::passed() const
{
    return static_cast<int>(
        std::count_if(m_outcomes.begin(), m_outcomes.end(), [](const Outcome& outcome) { return outcome.passed(); }));
}

std::vector<Drill::PlanEntry> Drill::plan(const KeyboardLayoutInfo& english, const KeyboardLayoutInfo& other)
{
    struct Table {
        const std::vector<std::string>& sentences;
        const char* group;
        bool hebrewKeys;
    };
    const std::array<Table, 6> tables = {{{hebrew, "hebrew", true},
                                          {hebrewPunctKeys, "hebrew · punctuation keys", true},
                                          {hebrewAcronyms, "hebrew · acronyms", true},
                                          {Drill::english, "english", false},
                                          {englishCaps, "english · capitals", false},
                                          {englishApostrophes, "english · apostrophes", false}}};
    std::random_device device;
    std::mt19937 random(device());
    std::vector<PlanEntry> entries;
    for (const Table& table : tables) {
        std::vector<std::string> shuffled = table.sentences;
        std::shuffle(shuffled.begin(), shuffled.end(), random);
        for (const auto& sentence : shuffled) {
            entries.push_back(
                {table.group, sentence, table.hebrewKeys ? english : other, table.hebrewKeys ? other : english});
        }
    }
    return entries;
}

void Drill::start(const LayoutRegistry& registry)
{
    // A stopped run still finishing its word would otherwise type into the new one.
    if (m_running || m_run || !m_field)
        return;
    const auto& layouts = registry.layouts;
    const auto english = std::find_if(layouts.begin(), layouts.end(), [](const KeyboardLayoutInfo& layout) {
        return layout.language().starts_with("en");
    });
    if (english == layouts.end())
        return;
    const auto other = std::find_if(layouts.begin(), layouts.end(),
                                    [&](const KeyboardLayoutInfo& layout) { return layout.id != english->id; });
    if (other == layouts.end())
        return;

    m_running = true;
    m_outcomes.clear();
    m_done = 0;
    auto run = std::make_shared<Run>();
    run->plan = plan(*english, *other);
    m_run = run;
    changed.notify();
    pause(run, 0, &Drill::nextSentence);
}

void Drill::stop()
{
    if (m_run) {
        m_run->cancelled = true;
        if (const auto next = m_run->pending)
            pause(m_run, 0, *next);
    }
    m_running = false;
    changed.notify();
    writeReport();
}

void Drill::pause(const std::shared_ptr<Run>& run, double seconds, Run::Step next)
{
    if (run->cancelled)
        seconds = 0;
    run->pending = next;
    // The run owns the timer, so the block runs only while the run lives; the drill owns the run.
    run->pauseTimer = m_services.main->after(seconds, [this, owner = run.get(), next] {
        owner->pending.reset();
        (this->*next)(owner->shared_from_this());
    });
}

void Drill::nextSentence(const std::shared_ptr<Run>& run)
{
    if (run->cancelled || run->entry >= run->plan.size()) {
        finish(run);
        return;
    }
    m_current = run->plan[run->entry].text;
    changed.notify();
    // The previous sentence's corrections finish first.
    waitUntilIdle(run, &Drill::clearField);
}

void Drill::clearField(const std::shared_ptr<Run>& run)
{
    if (m_field) {
        m_field->setText("");
        m_field->focus();
    }
    pause(run, focusPause, &Drill::selectLayout);
}

void Drill::selectLayout(const std::shared_ptr<Run>& run)
{
    run->before = historyMark();
    // What the actuator's selection does on the main thread.
    m_services.inputSources->select(run->plan[run->entry].typeOn.source);
    pause(run, layoutPause, &Drill::beginTyping);
}

void Drill::beginTyping(const std::shared_ptr<Run>& run)
{
    const PlanEntry& entry = run->plan[run->entry];
    run->keys = TranslationEngine::inverseMap(entry.keysFrom.layoutData);
    run->words.clear();
    for (const auto& word : words(entry.text))
        run->words.push_back(text::characters(word));
    run->word = 0;
    typeWord(run);
}

void Drill::typeWord(const std::shared_ptr<Run>& run)
{
    if (run->word == run->words.size()) {
        waitUntilIdle(run, &Drill::record);
        return;
    }
    // A cancelled sentence is left unrecorded, and so is the rest of the plan.
    if (run->cancelled) {
        finish(run);
        return;
    }
    run->character = 0;
    typeCharacter(run);
}

void Drill::typeCharacter(const std::shared_ptr<Run>& run)
{
    const auto& characters = run->words[run->word];
    while (run->character < characters.size()) {
        const auto key = run->keys.find(characters[run->character]);
        run->character += 1;
        // A character the layout cannot type is left out; the sentence then fails.
        if (key == run->keys.end())
            continue;
        postKey(key->second);
        pause(run, characterPause(m_pace), &Drill::typeCharacter);
        return;
    }
    postKey({KeyCode::space, 0});
    run->word += 1;
    pause(run, spacePause(m_pace), &Drill::typeWord);
}

void Drill::record(const std::shared_ptr<Run>& run)
{
    const PlanEntry& entry = run->plan[run->entry];
    Outcome outcome;
    outcome.group = entry.group;
    outcome.intended = entry.text;
    outcome.got = text::trimmed(fieldText());
    outcome.fired = firesSince(run->before);
    m_outcomes.insert(m_outcomes.begin(), std::move(outcome));
    m_done += 1;
    changed.notify();
    run->entry += 1;
    nextSentence(run);
}

void Drill::finish(const std::shared_ptr<Run>& run)
{
    if (m_run != run)
        return;
    m_run.reset();
    m_running = false;
    changed.notify();
    writeReport();
}

void Drill::waitUntilIdle(const std::shared_ptr<Run>& run, Run::Step then)
{
    run->waitStart = m_services.main->now();
    run->lastMark = historyMark();
    run->lastText = fieldText();
    run->quiet = 0;
    run->afterWait = then;
    pause(run, settlePoll, &Drill::poll);
}

void Drill::poll(const std::shared_ptr<Run>& run)
{
    if (m_services.main->now() - run->waitStart >= settleTimeout) {
        (this->*run->afterWait)(run);
        return;
    }
    const HistoryMark mark = historyMark();
    std::string text = fieldText();
    if (mark != run->lastMark) {
        run->lastMark = mark;
        run->lastText = std::move(text);
        run->quiet = 0;
    } else if (text == run->lastText) {
        // Three unchanged polls in a row.
        if (run->quiet >= 2) {
            (this->*run->afterWait)(run);
            return;
        }
        run->quiet += 1;
    } else {
        run->lastText = std::move(text);
        run->quiet = 0;
    }
    pause(run, settlePoll, &Drill::poll);
}

void Drill::postKey(KeyStroke key)
{
    platform::SyntheticKey event{.code = key.code, .flags = key.flags, .down = true, .marked = false};
    if (!m_services.poster->post(event))
        return;
    event.down = false;
    m_services.poster->post(event);
}

Drill::HistoryMark Drill::historyMark() const
{
    if (!m_services.history || m_services.history->records().empty())
        return {};
    const auto& records = m_services.history->records();
    return {records.size(), records.front().id};
}

std::vector<Drill::Fire> Drill::firesSince(const HistoryMark& before) const
{
    if (!m_services.history)
        return {};
    const auto& records = m_services.history->records();
    // Records newer than the one that was newest before; all of them when that one is gone.
    std::size_t fresh = records.size();
    if (before.newest) {
        const auto found = std::find_if(records.begin(), records.end(),
                                        [&](const CorrectionRecord& record) { return record.id == *before.newest; });
        if (found != records.end())
            fresh = static_cast<std::size_t>(found - records.begin());
    }
    std::vector<Fire> fires;
    for (std::size_t i = fresh; i-- > 0;) {
        const CorrectionRecord& record = records[i];
        const auto pieces = words(record.original);
        fires.push_back({pieces.empty() ? std::string() : pieces.back(), record.retroCount,
                         trimmedSpacesAndTabs(record.corrected), record.kind});
    }
    return fires;
}

std::string Drill::fieldText() const
{
    return m_field ? m_field->text() : std::string();
}

std::string Drill::reportText() const
{
    return report(m_outcomes, m_pace, std::chrono::system_clock::to_time_t(m_services.main->wallNow()));
}

std::string Drill::report(const std::vector<Outcome>& outcomes, Pace pace, std::time_t when)
{
    if (outcomes.empty())
        return {};
    const std::vector<Outcome> typed(outcomes.rbegin(), outcomes.rend());
    const auto passedCount = std::count_if(typed.begin(), typed.end(), [](const Outcome& o) { return o.passed(); });

    std::string out = "Kestrelix drill — " + timetext::local(when, "%b %-d, %Y at %H:%M:%S") + "\n";
    out += "pace: " + std::string(description(pace)) + " · " + std::to_string(passedCount) + "/" +
           std::to_string(typed.size()) + " passed\n";

    std::map<std::string, std::pair<int, int>> groups;  // passed, total; in plain string order
    int fires = 0;
    int walkBacks = 0;
    for (const Outcome& outcome : typed) {
        auto& [groupPassed, groupTotal] = groups[outcome.group];
        groupPassed += outcome.passed() ? 1 : 0;
        groupTotal += 1;
        for (const Fire& fire : outcome.fired) {
            fires += 1;
            walkBacks += fire.sweptBack >= 1 ? 1 : 0;
        }
    }
    for (const auto& [group, counts] : groups)
        out += group + ": " + std::to_string(counts.first) + "/" + std::to_string(counts.second) + "\n";
    if (fires > 0)
        out += "\n" + std::to_string(fires) + " corrections, " + std::to_string(walkBacks) + " needed the walk-back\n";

    if (passedCount < static_cast<long>(typed.size())) {
        out += "\nfailures\n" + rule + "\n";
        for (const Outcome& outcome : typed) {
            if (outcome.passed())
                continue;
            out += "[" + outcome.group + "]\n";
            out += "  want: " + outcome.intended + "\n";
            out += "  got : " + (outcome.got.empty() ? std::string("(nothing)") : outcome.got) + "\n";
            if (outcome.fired.empty())
                out += "  fired: nothing\n";
            for (const Fire& fire : outcome.fired)
                out += "  fired: " + fire.line() + "\n";
        }
    } else {
        out += "\nno failures\n";
    }

    out += "\nall phrases\n" + rule + "\n";
    for (const Outcome& outcome : typed) {
        out += std::string(outcome.passed() ? "ok  " : "FAIL") + " " + outcome.intended + "\n";
        for (const Fire& fire : outcome.fired)
            out += "       " + fire.line() + "\n";
    }
    return out;
}

void Drill::writeReport() const
{
    if (m_outcomes.empty())
        return;
    // A file that cannot be written leaves the summary line to tell the result. Like the log, the
    // report is our own output: a link in its place is replaced, never written through.
    files::replaceAtomically(Paths::shared().drillReportFile(), reportText(), files::Links::replace);
    Log::line("drill: " + std::to_string(passed()) + "/" + std::to_string(m_outcomes.size()) + " at " +
              std::string(rawValue(m_pace)) + " pace");
}

}  // namespace kx
