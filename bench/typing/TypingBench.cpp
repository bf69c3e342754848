// Types real sentences into real text fields on a private X11 desktop with the real corrector
// running, at a typist's pace with keys overlapping, and tells per language, field, pattern and
// pace what became of the words: as meant, as typed, or damaged; how many sentences came out
// exactly; and how long a rewrite took to show after its Space.
//
//   kx_typing_bench [--languages he,en,ru,ar,en-ara,ru-ara,en-lyx,hi] [--targets gtk,qt,xterm]
//                   [--patterns whole,every-word,mixed]
//                   [--paces 40,60,100,150] [--words N] [--seed N] [--quiet MS] [--texts DIR] [--show-damage N]
//                   [--kestrelix PATH]
//
// --kestrelix runs another build of the program (its resource folder beside it), to compare two builds
// on the same sentences, keys and timings.

#include "DesktopSession.h"
#include "KestrelixProcess.h"
#include "KeyboardScene.h"
#include "KeymapWatch.h"
#include "TypingRun.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>

namespace {

using namespace kx::bench;

std::vector<std::string> listOf(const std::string& text)
{
    std::vector<std::string> items;
    std::istringstream in(text);
    std::string item;
    while (std::getline(in, item, ','))
        items.push_back(item);
    return items;
}

struct Options {
    std::vector<std::string> languages = {"he", "en", "ru", "ar", "en-ara", "ru-ara", "en-lyx", "hi"};
    std::vector<TargetKind> targets = {TargetKind::gtk, TargetKind::qt, TargetKind::terminal};
    std::vector<Pattern> patterns = {Pattern::wholeSentence, Pattern::everyWord, Pattern::mixed};
    std::vector<double> paces = {40, 60, 100, 150};
    int words = 2000;
    std::uint64_t seed = 1;
    double quietMs = 800;
    std::filesystem::path texts = KX_TEXTS_DIR;
    std::size_t showDamage = 3;
    std::string kestrelix = KX_EXECUTABLE;
};

[[noreturn]] void usage(const char* why)
{
    std::fprintf(stderr,
                 "kx_typing_bench: %s\n"
                 "usage: kx_typing_bench [--languages he,en,ru,ar,en-ara,ru-ara,en-lyx,hi] [--targets gtk,qt,xterm]\n"
                 "         [--patterns whole,every-word,mixed] [--paces 40,60,100,150] [--words N]\n"
                 "         [--seed N] [--quiet MS] [--texts DIR] [--show-damage N] [--kestrelix PATH]\n",
                 why);
    std::exit(2);
}

Options parse(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc)
            usage(("no value for " + arg).c_str());
        const std::string value = argv[++i];
        if (arg == "--languages") {
            options.languages = listOf(value);
        } else if (arg == "--targets") {
            options.targets.clear();
            for (const auto& name : listOf(value)) {
                const auto kind = targetNamed(name);
                if (!kind)
                    usage(("unknown target " + name).c_str());
                options.targets.push_back(*kind);
            }
        } else if (arg == "--patterns") {
            options.patterns.clear();
            for (const auto& name : listOf(value)) {
                const auto pattern = patternNamed(name);
                if (!pattern)
                    usage(("unknown pattern " + name).c_str());
                options.patterns.push_back(*pattern);
            }
        } else if (arg == "--paces") {
            options.paces.clear();
            for (const auto& pace : listOf(value))
                options.paces.push_back(std::stod(pace));
        } else if (arg == "--words") {
            options.words = std::stoi(value);
        } else if (arg == "--seed") {
            options.seed = std::stoull(value);
        } else if (arg == "--quiet") {
            options.quietMs = std::stod(value);
        } else if (arg == "--texts") {
            options.texts = value;
        } else if (arg == "--show-damage") {
            options.showDamage = std::stoul(value);
        } else if (arg == "--kestrelix") {
            options.kestrelix = value;
        } else {
            usage(("unknown option " + arg).c_str());
        }
    }
    return options;
}

// Rewrites made in automatic mode, from the program's log.
int corrections(const std::string& log)
{
    int count = 0;
    for (auto at = log.find("[automatic] "); at != std::string::npos; at = log.find("[automatic] ", at + 1))
        ++count;
    return count;
}

double share(int part, int whole)
{
    return whole > 0 ? 100.0 * part / whole : 0;
}

void printRow(const LanguageRun& run, TargetKind target, Pattern pattern, double pace, const TypingTally& t)
{
    std::printf(
        "| %-6s | %-10s | %-5s | %-10s | %4.0f | %6d | %6d %5.1f%% | %6d %5.1f%% | %5d %5.1f%% | %5d | %5d %5.1f%% | "
        "%5.0f | %5.0f | %5.1f | %5.0f | %5.0f | %3.0f%% |\n",
        run.language.c_str(), run.layouts.c_str(), std::string(nameOf(target)).c_str(),
        std::string(nameOf(pattern)).c_str(), pace, t.words, t.meant, share(t.meant, t.words), t.typed,
        share(t.typed, t.words), t.damaged, share(t.damaged, t.words), t.sentences, t.exact,
        share(t.exact, t.sentences), percentile(t.latenciesMs, 0.5), percentile(t.latenciesMs, 0.9),
        percentile(t.keyLatenciesMs, 0.5), percentile(t.keyLatenciesMs, 0.95), percentile(t.keyLatenciesMs, 1.0),
        share(t.overlappingPresses, t.presses));
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    const Options options = parse(argc, argv);
    auto& session = kx::test::DesktopSession::shared();
    if (!session.ready()) {
        std::fprintf(stderr, "kx_typing_bench: no desktop: %s\n", session.why().c_str());
        return 1;
    }
    std::printf("Words of real sentences typed through XTest, keys held 20-80 ms and overlapping; %d words a row, "
                "seed %llu.\n'meant': as the typist meant it; 'typed': as its keys type on the wrong layout; "
                "'damaged': neither.\nfix: ms from the Space to the rewritten word in the field (median, p90); "
                "overlap: presses made while another key was down.\n\n",
                options.words, static_cast<unsigned long long>(options.seed));
    std::printf("| lang | layouts | field | pattern | pace | words | meant | typed | damaged | sentences | exact | "
                "fix p50 | fix p90 | key p50 | key p95 | key max | overlap |\n"
                "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");

    int status = 0;
    std::vector<std::string> footnotes;
    for (const std::string& language : options.languages) {
        const auto run = std::ranges::find(languageRuns(), language, &LanguageRun::language);
        if (run == languageRuns().end())
            usage(("unknown language " + language).c_str());
        std::vector<std::string> layouts = listOf(run->layouts);
        const auto keys = LayoutKeys::compile(run->layouts);
        // setxkbmap now and then fails to load a keymap on a busy machine; a second try loads it.
        bool layoutsSet = false;
        for (int attempt = 0; attempt < 3 && !layoutsSet; ++attempt)
            layoutsSet = kx::test::setLayouts(layouts);
        if (!keys || !layoutsSet) {
            std::fprintf(stderr, "kx_typing_bench: cannot set the layouts %s\n", run->layouts.c_str());
            return 1;
        }
        int skipped = 0;
        const auto textFile = options.texts / (run->textLanguage() + ".txt");
        const auto typeable = typeableSentences(textFile, *keys, run->groups, skipped);
        const auto sentences = joined(typeable, run->sentencesPerLine);
        if (sentences.empty()) {
            std::fprintf(stderr, "kx_typing_bench: no sentence of %s can be typed\n", textFile.c_str());
            return 1;
        }
        KestrelixProcess app(options.kestrelix);
        if (!app.ok()) {
            std::fprintf(stderr, "kx_typing_bench: kestrelix did not get ready:\n%s\n", app.log().c_str());
            return 1;
        }
        const double cpuBefore = app.cpuSeconds();
        kx::test::KeymapWatch keymap;
        int presses = 0;
        Typist typist;
        for (const TargetKind kind : options.targets) {
            TextTarget target(kind);
            if (!target.ok()) {
                std::fprintf(stderr, "kx_typing_bench: the %s field did not come to the front\n",
                             std::string(nameOf(kind)).c_str());
                return 1;
            }
            for (const Pattern pattern : options.patterns) {
                for (const double pace : options.paces) {
                    const CellResult cell = typeCell(typist, target, sentences, run->groups,
                                                     {.pattern = pattern,
                                                      .paceMs = pace,
                                                      .seed = options.seed,
                                                      .words = options.words,
                                                      .quietMs = options.quietMs});
                    printRow(*run, kind, pattern, pace, cell.tally);
                    presses += cell.tally.presses;
                    for (std::size_t i = 0; i < cell.damage.size() && i < options.showDamage; ++i)
                        footnotes.push_back(run->language + " " + std::string(nameOf(kind)) + " " +
                                            std::string(nameOf(pattern)) + " " + std::to_string(int(pace)) +
                                            " ms: " + cell.damage[i]);
                    if (!cell.failure.empty()) {
                        std::fprintf(stderr, "kx_typing_bench: %s\n", cell.failure.c_str());
                        status = 1;
                    }
                }
            }
        }
        char usage[160];
        std::snprintf(usage, sizeof usage,
                      ": %zu sentences typeable, %d left out (characters beyond Shift); kestrelix %.2f ms CPU a key, "
                      "peak resident %ld MB",
                      typeable.size(), skipped, presses > 0 ? 1000 * (app.cpuSeconds() - cpuBefore) / presses : 0.0,
                      app.peakResidentKb() / 1024);
        footnotes.push_back(run->language + usage);
        const kx::test::KeymapChanges changes = keymap.take();
        footnotes.push_back(run->language + ": " + std::to_string(changes.core) + " core and " +
                            std::to_string(changes.xkb) + " XKB keymap changes in " +
                            std::to_string(corrections(app.log())) + " corrections");
        if (!app.running()) {
            std::fprintf(stderr, "kx_typing_bench: kestrelix exited:\n%s\n", app.log().c_str());
            status = 1;
        }
    }
    std::printf("\n");
    for (const auto& line : footnotes)
        std::printf("%s\n", line.c_str());
    return status;
}
