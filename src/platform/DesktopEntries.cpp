#include "platform/DesktopEntries.h"

#include "platform/Files.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <set>

namespace kx::platform {

namespace {

std::string_view trim(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// Splits an Exec line into words; double quotes group, a backslash inside them escapes.
std::vector<std::string> execWords(std::string_view exec)
{
    std::vector<std::string> words;
    std::string word;
    bool quoted = false;
    bool inWord = false;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (quoted) {
            if (c == '\\' && i + 1 < exec.size())
                word += exec[++i];
            else if (c == '"')
                quoted = false;
            else
                word += c;
        } else if (c == '"') {
            quoted = inWord = true;
        } else if (c == ' ' || c == '\t') {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

// The program an Exec line starts: past "env" and its VAR=value words.
std::string execProgram(std::string_view exec)
{
    const auto words = execWords(exec);
    std::size_t i = 0;
    if (i < words.size() && std::filesystem::path(words[i]).filename() == "env") {
        ++i;
        while (i < words.size() && words[i].find('=') != std::string::npos)
            ++i;
    }
    return i < words.size() ? std::filesystem::path(words[i]).filename().string() : std::string();
}

// Categories is a list ending in ';' ("System;TerminalEmulator;"); the last ';' may be missing.
bool hasCategory(std::string_view categories, std::string_view category)
{
    std::size_t start = 0;
    while (start < categories.size()) {
        const auto end = std::min(categories.find(';', start), categories.size());
        if (trim(categories.substr(start, end - start)) == category)
            return true;
        start = end + 1;
    }
    return false;
}

}  // namespace

DesktopEntries::DesktopEntries(std::vector<std::filesystem::path> folders, std::string locale)
    : m_folders(std::move(folders)), m_locale(std::move(locale))
{}

std::string DesktopEntries::read(const std::filesystem::path& file)
{
    constexpr std::size_t byteLimit = 1 << 20;
    Result<std::string> contents = files::readRegular(file, byteLimit);
    return contents ? std::move(contents.value()) : std::string();
}

std::vector<std::filesystem::path> DesktopEntries::standardFolders()
{
    std::vector<std::filesystem::path> folders;
    std::string home = environment("XDG_DATA_HOME");
    if (home.empty() && !environment("HOME").empty())
        home = environment("HOME") + "/.local/share";
    if (!home.empty())
        folders.push_back(std::filesystem::path(home) / "applications");
    std::string dirs = environment("XDG_DATA_DIRS");
    if (dirs.empty())
        dirs = "/usr/local/share:/usr/share";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const auto end = std::min(dirs.find(':', start), dirs.size());
        if (end > start)
            folders.push_back(std::filesystem::path(dirs.substr(start, end - start)) / "applications");
        start = end + 1;
    }
    return folders;
}

std::string DesktopEntries::currentLocale()
{
    std::string locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = environment(name);
        if (!locale.empty())
            break;
    }
    locale = locale.substr(0, locale.find_first_of(".@"));
    return locale == "C" || locale == "POSIX" ? std::string() : locale;
}

std::optional<DesktopEntry> DesktopEntries::parse(std::string_view contents, std::string id, std::string_view locale)
{
    std::map<std::string, std::string, std::less<>> keys;
    bool inMainGroup = false;
    std::size_t start = 0;
    while (start < contents.size()) {
        auto end = contents.find('\n', start);
        if (end == std::string_view::npos)
            end = contents.size();
        const auto line = trim(contents.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.front() == '#')
            continue;
        if (line.front() == '[') {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        const auto equals = line.find('=');
        if (!inMainGroup || equals == std::string_view::npos)
            continue;
        keys.emplace(std::string(trim(line.substr(0, equals))), std::string(trim(line.substr(equals + 1))));
    }
    const auto value = [&keys](std::string_view key) {
        const auto found = keys.find(key);
        return found == keys.end() ? std::string() : found->second;
    };
    if (value("Type") != "Application" || value("Hidden") == "true")
        return std::nullopt;

    std::string name;
    if (!locale.empty()) {
        const std::string language(locale.substr(0, locale.find('_')));
        name = value("Name[" + std::string(locale) + "]");
        if (name.empty())
            name = value("Name[" + language + "]");
    }
    if (name.empty())
        name = value("Name");
    return DesktopEntry{.id = std::move(id),
                        .name = std::move(name),
                        .startupWMClass = value("StartupWMClass"),
                        .program = execProgram(value("Exec")),
                        .terminal = hasCategory(value("Categories"), "TerminalEmulator"),
                        .runsInTerminal = value("Terminal") == "true"};
}

void DesktopEntries::refreshIfChanged()
{
    std::vector<std::filesystem::file_time_type> stamps;
    for (const auto& folder : m_folders) {
        std::error_code error;
        stamps.push_back(std::filesystem::last_write_time(folder, error));
    }
    if (m_loaded && stamps == m_stamps)
        return;
    m_loaded = true;
    m_stamps = std::move(stamps);
    m_entries.clear();

    std::set<std::string> seen;
    for (const auto& folder : m_folders) {
        std::error_code error;
        const auto options = std::filesystem::directory_options::skip_permission_denied;
        for (auto it = std::filesystem::recursive_directory_iterator(folder, options, error);
             !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
            const auto& file = it->path();
            // An entry that cannot be looked at is skipped; the walk goes on.
            std::error_code unreadable;
            if (file.extension() != ".desktop" || !it->is_regular_file(unreadable))
                continue;
            // The id is the path below the folder with '/' turned into '-'.
            std::string id = file.lexically_relative(folder).replace_extension().string();
            std::ranges::replace(id, '/', '-');
            // The first folder that has an id decides it, even when its entry is hidden.
            if (!seen.insert(id).second)
                continue;
            if (auto entry = parse(read(file), id, m_locale))
                m_entries.push_back(std::move(*entry));
        }
    }
}

std::optional<DesktopEntry> DesktopEntries::match(const ApplicationClues& clues)
{
    std::lock_guard lock(m_mutex);
    refreshIfChanged();
    const auto first = [this](auto&& predicate) -> std::optional<DesktopEntry> {
        const auto found = std::ranges::find_if(m_entries, predicate);
        return found == m_entries.end() ? std::nullopt : std::optional(*found);
    };
    if (!clues.gtkApplicationId.empty()) {
        if (auto entry = first([&](const auto& e) { return e.id == clues.gtkApplicationId; }))
            return entry;
    }
    for (const auto* wmName : {&clues.wmClass, &clues.wmInstance}) {
        if (wmName->empty())
            continue;
        if (auto entry = first([&](const auto& e) { return e.startupWMClass == *wmName; }))
            return entry;
    }
    // A program name shared by several entries ("python3", "sh") names none of them.
    for (const auto& program : clues.programs) {
        const auto starts = [&program](const DesktopEntry& e) { return !e.runsInTerminal && e.program == program; };
        if (program.empty() || std::ranges::count_if(m_entries, starts) != 1)
            continue;
        if (auto entry = first(starts))
            return entry;
    }
    return std::nullopt;
}

std::optional<DesktopEntry> DesktopEntries::find(const std::string& appID)
{
    if (appID.empty())
        return std::nullopt;
    const auto same = [&appID](const std::string& text) {
        return std::ranges::equal(text, appID, [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
        });
    };
    std::lock_guard lock(m_mutex);
    refreshIfChanged();
    for (const auto field : {&DesktopEntry::id, &DesktopEntry::startupWMClass}) {
        const auto found = std::ranges::find_if(m_entries, [&](const DesktopEntry& e) { return same(e.*field); });
        if (found != m_entries.end())
            return *found;
    }
    // As in match(): a program several entries start names none of them.
    std::optional<DesktopEntry> byProgram;
    for (const DesktopEntry& entry : m_entries) {
        if (entry.runsInTerminal || !same(entry.program))
            continue;
        if (byProgram)
            return std::nullopt;
        byProgram = entry;
    }
    return byProgram;
}

}  // namespace kx::platform
