#pragma once
// A window with one text field on the shared test desktop, in front and focused, keeping a
// journal of its text: a GTK 3 entry, a Qt line edit (both speaking AT-SPI), or a line in an
// xterm, which the corrector must leave alone.

#include "FieldJournal.h"
#include "TempFolder.h"

#include <optional>
#include <string_view>
#include <sys/types.h>

namespace kx::bench {

enum class TargetKind { gtk, qt, terminal };
std::string_view nameOf(TargetKind kind);
/// "gtk", "qt" or "xterm"; none for anything else.
std::optional<TargetKind> targetNamed(std::string_view name);

class TextTarget {
public:
    /// Starts the window and waits until the window manager names it the front application;
    /// check ok().
    explicit TextTarget(TargetKind kind);
    TextTarget(const TextTarget&) = delete;
    TextTarget& operator=(const TextTarget&) = delete;
    ~TextTarget();

    bool ok() const { return m_pid > 0; }
    TargetKind kind() const { return m_kind; }
    FieldJournal& journal() { return m_journal; }

private:
    TargetKind m_kind;
    test::TempFolder m_folder{"kx-target"};
    FieldJournal m_journal{m_folder / "journal"};
    pid_t m_pid = -1;
};

}  // namespace kx::bench
