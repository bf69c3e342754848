// The running-text measure: real sentences typed key by key on the simulated desktop, with the
// real controller, engine and word lists, for every ordered pair of meant and selected layout among
// English, Hebrew, Russian and Arabic, and between English and each of Greek and Hindi, in two
// patterns, and typed on the right layout: in one go, and word by word coming back to it from
// another layout before every word. Prints how many words came out right, were left as typed or
// came out wrong, the false corrections per 1,000 words typed right, and the most frequent misses
// of each pair, then of the words that came out wrong.
//
//   kx_text_measure [--words N] [--jobs N] [--misses N] [--only LANG[:LANG]]
//
// --words caps the words read from each text (default: all), --jobs the processes run at once
// (default 4), --misses the misses listed per pair (default 20); --only keeps the pairs whose
// meant language (and selected layout's language) are the ones given.

#include "Tally.h"
#include "TypingSession.h"

#include "engine/TranslationEngine.h"
#include "platform/KeyTable.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace kx::bench {
namespace {

struct Language {
    std::string code;
    std::string layout;
};

const Language english{"en", "us"};
const std::vector<Language> languages = {english, {"he", "il"}, {"ru", "ru"}, {"ar", "ara"}};
// As a user with all four would have them; the order is the order the program weighs them in.
const std::vector<std::string> enabledLayouts = {"us", "ru", "il", "ara"};
// Each measured against English alone, as a user of one of them beside English has them.
const std::vector<Language> besideEnglish = {{"el", "gr"}, {"hi", "in"}};

struct Job {
    Language meant;
    Language active;  // the meant layout itself for words typed right
    Pattern pattern = Pattern::sentence;
    std::vector<std::string> layouts = enabledLayouts;

    bool typedRight() const { return meant.code == active.code; }
    std::string label() const
    {
        if (!typedRight())
            return meant.code + " on " + active.layout + (pattern == Pattern::sentence ? ", sentence" : ", per word");
        if (pattern == Pattern::backFromOther)
            return meant.code + " typed right, per word";
        if (layouts == enabledLayouts)
            return meant.code + " typed right";
        return meant.code + " typed right, " + layouts[0] + "+" + layouts[1];
    }
};

struct Options {
    std::size_t words = 0;
    int jobs = 4;
    std::size_t misses = 20;
    std::string only;
};

std::vector<std::string> sentences(const std::string& code, std::size_t wordCap)
{
    std::ifstream in(std::string(KX_SOURCE_TEXT_DIR) + "/" + code + ".txt");
    std::vector<std::string> result;
    std::size_t words = 0;
    for (std::string line; std::getline(in, line) && (wordCap == 0 || words < wordCap);) {
        if (line.empty())
            continue;
        result.push_back(line);
        for (char c : line)
            words += c == ' ';
        words += 1;
    }
    return result;
}

Tally runJob(const Job& job, std::size_t wordCap)
{
    TypingSession session(job.layouts);
    const auto meantTable = platform::KeyTable::forLayout(job.meant.layout);
    const auto activeTable = platform::KeyTable::forLayout(job.active.layout);
    Tally tally;
    for (const std::string& sentence : sentences(job.meant.code, wordCap)) {
        const std::vector<KeyStroke> keys = session.strokes(sentence, job.meant.layout);
        const std::string result = session.type(keys, job.active.layout, job.pattern);
        // Meant is what the keys type on the meant layout, a Greek accent composed from its dead
        // key as the field composes it.
        tally.add(TranslationEngine::reconstruct(keys, meantTable), TranslationEngine::reconstruct(keys, activeTable),
                  result);
    }
    return tally;
}

std::string readAll(int fd)
{
    std::string text;
    char buffer[65536];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    return text;
}

// Each job in a process of its own: the controller's services are process-wide.
std::vector<Tally> runAll(const std::vector<Job>& jobs, const Options& options)
{
    std::vector<Tally> tallies(jobs.size());
    std::size_t next = 0;
    std::vector<std::pair<pid_t, std::pair<std::size_t, int>>> running;  // pid, job, pipe
    while (next < jobs.size() || !running.empty()) {
        while (next < jobs.size() && static_cast<int>(running.size()) < options.jobs) {
            int fds[2];
            if (::pipe(fds) != 0) {
                std::perror("pipe");
                std::exit(1);
            }
            const pid_t pid = ::fork();
            if (pid == 0) {
                ::close(fds[0]);
                const std::string text = runJob(jobs[next], options.words).serialize();
                for (std::size_t written = 0; written < text.size();) {
                    const ssize_t n = ::write(fds[1], text.data() + written, text.size() - written);
                    if (n <= 0)
                        ::_exit(1);
                    written += static_cast<std::size_t>(n);
                }
                ::_exit(0);
            }
            ::close(fds[1]);
            running.push_back({pid, {next, fds[0]}});
            next += 1;
        }
        // Draining the oldest pipe first lets its writer finish; the others wait their turn.
        const auto [pid, job] = running.front();
        running.erase(running.begin());
        tallies[job.first] = Tally::deserialize(readAll(job.second));
        ::close(job.second);
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            std::cerr << "job '" << jobs[job.first].label() << "' failed\n";
        std::cerr << "done: " << jobs[job.first].label() << "\n";
    }
    return tallies;
}

std::string percent(int part, int whole)
{
    char text[16];
    std::snprintf(text, sizeof text, "%.1f%%", whole == 0 ? 0.0 : 100.0 * part / whole);
    return text;
}

std::string padded(const std::string& text, std::size_t width, bool right)
{
    // Column widths count bytes: every label here is ASCII.
    if (text.size() >= width)
        return text;
    const std::string pad(width - text.size(), ' ');
    return right ? pad + text : text + pad;
}

std::optional<Options> parse(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--words" && hasValue)
            options.words = std::stoul(argv[++i]);
        else if (arg == "--jobs" && hasValue)
            options.jobs = std::max(1, std::stoi(argv[++i]));
        else if (arg == "--misses" && hasValue)
            options.misses = std::stoul(argv[++i]);
        else if (arg == "--only" && hasValue)
            options.only = argv[++i];
        else
            return std::nullopt;
    }
    return options;
}

bool wanted(const Job& job, const std::string& only)
{
    if (only.empty())
        return true;
    const auto colon = only.find(':');
    if (only.substr(0, colon) != job.meant.code)
        return false;
    return colon == std::string::npos || only.substr(colon + 1) == job.active.code;
}

}  // namespace
}  // namespace kx::bench

int main(int argc, char** argv)
{
    using namespace kx::bench;
    const auto options = parse(argc, argv);
    if (!options) {
        std::cerr << "usage: kx_text_measure [--words N] [--jobs N] [--misses N] [--only LANG[:LANG]]\n";
        return 2;
    }
    std::vector<Job> jobs;
    for (const Language& meant : languages) {
        for (const Language& active : languages) {
            if (active.code == meant.code)
                continue;
            jobs.push_back({meant, active, Pattern::sentence});
            jobs.push_back({meant, active, Pattern::perWord});
        }
        jobs.push_back({meant, meant, Pattern::sentence});
        jobs.push_back({meant, meant, Pattern::backFromOther});
    }
    for (const Language& other : besideEnglish) {
        const std::vector<std::string> layouts = {english.layout, other.layout};
        for (const auto& [meant, active] : {std::pair{english, other}, std::pair{other, english}}) {
            jobs.push_back({meant, active, Pattern::sentence, layouts});
            jobs.push_back({meant, active, Pattern::perWord, layouts});
        }
        jobs.push_back({other, other, Pattern::sentence, layouts});
        jobs.push_back({english, english, Pattern::sentence, layouts});
    }
    std::erase_if(jobs, [&](const Job& job) { return !wanted(job, options->only); });
    const auto tallies = runAll(jobs, *options);

    std::cout << "layouts enabled: us, ru, il, ara; el and hi each beside us alone (us+gr, us+in); texts: "
                 "bench/texts (see SOURCES.md)\n\n";
    std::cout << padded("TYPED ON THE WRONG LAYOUT", 26, false) << padded("words", 7, true) << padded("right", 8, true)
              << padded("left", 8, true) << padded("wrong", 8, true) << "\n";
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        if (jobs[i].typedRight())
            continue;
        const Tally& t = tallies[i];
        std::cout << padded(jobs[i].label(), 26, false) << padded(std::to_string(t.words()), 7, true)
                  << padded(percent(t.right, t.words()), 8, true) << padded(percent(t.left, t.words()), 8, true)
                  << padded(percent(t.wrong, t.words()), 8, true) << "\n";
    }
    std::cout << "\n"
              << padded("TYPED RIGHT", 26, false) << padded("words", 7, true) << padded("changed", 9, true)
              << padded("per 1,000", 11, true) << "\n";
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        if (!jobs[i].typedRight())
            continue;
        const Tally& t = tallies[i];
        char rate[16];
        std::snprintf(rate, sizeof rate, "%.1f", t.words() == 0 ? 0.0 : 1000.0 * t.wrong / t.words());
        std::cout << padded(jobs[i].label(), 26, false) << padded(std::to_string(t.words()), 7, true)
                  << padded(std::to_string(t.wrong), 9, true) << padded(rate, 11, true) << "\n";
    }
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const auto top = tallies[i].topMisses(options->misses);
        if (top.empty())
            continue;
        std::cout << "\n▸ " << jobs[i].label() << (jobs[i].typedRight() ? ": changed" : ": missed") << "\n";
        for (const auto& [word, miss] : top)
            std::cout << "    " << miss.first << "  " << word << "  → " << miss.second << "\n";
    }
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const auto top = tallies[i].topWrongs(options->misses);
        if (top.empty() || jobs[i].typedRight())
            continue;
        std::cout << "\n▸ " << jobs[i].label() << ": wrong\n";
        for (const auto& [word, miss] : top)
            std::cout << "    " << miss.first << "  " << word << "  → " << miss.second << "\n";
    }
    return 0;
}
