#pragma once
// A small clipboard manager for the desktop tests, as a session's own would be: it owns the
// CLIPBOARD_MANAGER selection, and when an owner of the clipboard that is quitting asks it to
// SAVE_TARGETS, it copies every target of the clipboard, answers, and from then on owns the
// clipboard itself and serves the copy. It runs on a connection and thread of its own.

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace kx::test {

class ClipboardManager {
public:
    ClipboardManager();
    ~ClipboardManager();
    ClipboardManager(const ClipboardManager&) = delete;
    ClipboardManager& operator=(const ClipboardManager&) = delete;

    /// It runs and owns CLIPBOARD_MANAGER.
    bool ok() const { return m_ok; }
    /// How many hand-overs it took.
    int saves() const { return m_saves; }
    /// What the last hand-over brought: data by target name.
    std::map<std::string, std::string> saved() const;
    /// Its window, the clipboard's owner after a hand-over.
    unsigned long window() const { return m_window; }

private:
    struct Connection;
    void run();

    std::unique_ptr<Connection> m_connection;
    unsigned long m_window = 0;
    bool m_ok = false;
    std::atomic<int> m_saves = 0;
    std::atomic<bool> m_stopping = false;
    mutable std::mutex m_mutex;
    std::map<std::string, std::string> m_saved;
    std::thread m_thread;
};

}  // namespace kx::test
