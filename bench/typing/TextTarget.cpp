#include "TextTarget.h"

#include "DesktopSession.h"
#include "platform/x11/X11Workspace.h"

namespace kx::bench {

using test::DesktopSession;

std::string_view nameOf(TargetKind kind)
{
    switch (kind) {
    case TargetKind::gtk:
        return "gtk";
    case TargetKind::qt:
        return "qt";
    case TargetKind::terminal:
        return "xterm";
    }
    return "";
}

std::optional<TargetKind> targetNamed(std::string_view name)
{
    for (const TargetKind kind : {TargetKind::gtk, TargetKind::qt, TargetKind::terminal}) {
        if (nameOf(kind) == name)
            return kind;
    }
    return std::nullopt;
}

TextTarget::TextTarget(TargetKind kind) : m_kind(kind)
{
    const std::string journal = m_journal.file().string();
    auto& session = DesktopSession::shared();
    switch (kind) {
    case TargetKind::gtk:
        m_pid =
            session.start({"/usr/bin/python3", KX_GTK_PROBE, "--class", "KxGtkField", "--journal", journal}, {}, true);
        break;
    case TargetKind::qt:
        // Qt applications speak AT-SPI only when told to.
        m_pid = session.start({KX_DESKTOP_PROBE, "--class", "KxQtField", "--journal", journal},
                              {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1"}, true);
        break;
    case TargetKind::terminal:
        m_pid = session.start(
            {"xterm", "-class", "XTerm", "-u8", "-e", "/usr/bin/python3", KX_TTY_PROBE, "--journal", journal},
            {"LC_ALL=C.UTF-8"});
        if (!DesktopSession::waitFor([&] { return m_journal.poll(), m_journal.started(); }, 15)) {
            session.stop(m_pid);
            m_pid = -1;
        }
        break;
    }
    if (m_pid <= 0)
        return;
    // The corrector learns what is in front from the window manager.
    const platform::x11::X11Workspace workspace;
    const bool front = DesktopSession::waitFor(
        [&] {
            const auto app = workspace.frontApplication();
            return app && app->pid == m_pid;
        },
        10);
    if (!front) {
        session.stop(m_pid);
        m_pid = -1;
    }
    m_journal.poll();
    m_journal.take();
}

TextTarget::~TextTarget()
{
    if (m_pid > 0)
        DesktopSession::shared().stop(m_pid);
}

}  // namespace kx::bench
