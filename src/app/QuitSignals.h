#pragma once
// SIGTERM, SIGINT and SIGHUP end the Qt event loop the normal way instead of killing the process,
// so a rewrite being typed finishes, the keyboard is released, the log is written and Qt hands
// the clipboard to the session's clipboard manager. The handler only writes the signal's number
// to a pipe (the one thing a handler may safely do); the event loop reads it.

#include <memory>

class QSocketNotifier;

namespace kx {

class QuitSignals {
public:
    /// Installs the handlers; needs the Qt application object. One object per process.
    QuitSignals();
    /// Puts the default handlers back.
    ~QuitSignals();
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
};

}  // namespace kx
