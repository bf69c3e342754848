#pragma once
// The desktop entries (.desktop files) of the installed applications, for naming a window's
// application the way the desktop does: its desktop-entry id and its name.

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kx::platform {

struct DesktopEntry {
    /// "org.gnome.Terminal" for .../applications/org.gnome.Terminal.desktop.
    std::string id;
    /// The Name in the user's language when the entry has one, else the plain Name.
    std::string name;
    std::string startupWMClass;
    /// The file name of the program that Exec starts ("firefox" for "env A=1 /usr/bin/firefox %u").
    std::string program;
    /// Categories holds TerminalEmulator: the desktop itself knows the application as a terminal.
    bool terminal = false;
    /// Terminal=true: the program runs inside a terminal, so no window is ever its own.
    bool runsInTerminal = false;
    bool operator==(const DesktopEntry&) const = default;
};

/// What is known about a window's application, matched against the entries in this order.
struct ApplicationClues {
    std::string gtkApplicationId;       // _GTK_APPLICATION_ID
    std::string wmClass;                // WM_CLASS class
    std::string wmInstance;             // WM_CLASS instance
    std::vector<std::string> programs;  // file names of the running program (executable, argv[0])
};

class DesktopEntries {
public:
    /// folders: "applications" folders, most important first (an id found earlier hides a later
    /// one). locale: "de_DE" or "" (see currentLocale()).
    DesktopEntries(std::vector<std::filesystem::path> folders, std::string locale);

    /// $XDG_DATA_HOME/applications, then each of $XDG_DATA_DIRS/applications (with their defaults).
    static std::vector<std::filesystem::path> standardFolders();
    /// The language of messages from LC_ALL, LC_MESSAGES or LANG without encoding or modifier.
    static std::string currentLocale();
    /// The text of an entry file: a regular file of at most 1 MB, else empty. A FIFO or a device
    /// dropped among the entries never stalls the reader.
    static std::string read(const std::filesystem::path& file);
    /// One entry from a file's contents; none when it is not a visible application entry.
    static std::optional<DesktopEntry> parse(std::string_view contents, std::string id, std::string_view locale);

    /// The entry of the application, or none. By program only the one entry that starts it, and
    /// never an entry run in a terminal: a window of python3 is some script's, not the entry
    /// "Python (v3.11)" of the interpreter. The folders are read again when one of them changed.
    /// Thread-safe.
    std::optional<DesktopEntry> match(const ApplicationClues& clues);
    /// The entry of the application known by appID: the entry of that id, else the one whose
    /// StartupWMClass, else the only one whose program, is appID (entries run in a terminal left
    /// out, as in match()); case is ignored throughout, as the same application goes by "XTerm"
    /// and "xterm". None when no entry has it. Thread-safe.
    std::optional<DesktopEntry> find(const std::string& appID);

private:
    void refreshIfChanged();

    std::vector<std::filesystem::path> m_folders;
    std::string m_locale;
    std::mutex m_mutex;
    std::vector<std::filesystem::file_time_type> m_stamps;
    bool m_loaded = false;
    std::vector<DesktopEntry> m_entries;  // in precedence order
};

}  // namespace kx::platform
