#pragma once
// The enabled layouts on X11: the groups of the server's keymap, named by the layouts and variants
// of the _XKB_RULES_NAMES root property (what setxkbmap and the desktops write); the current one is
// the locked group, selected with XkbLockGroup. XKB's group-change and keymap notices arrive on the
// main thread through the Qt event loop; a new keymap (setxkbmap) is read again at once.

#include "platform/InputSources.h"
#include "platform/Observable.h"
#include "platform/x11/XConnection.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QSocketNotifier;

namespace kx::platform::x11 {

class X11Keyboard;

/// The layouts and variants named by the rules-names property: five NUL-terminated strings
/// (rules, model, layout, variant, options), layouts and variants comma-separated. The variants
/// list is as long as the layouts list.
struct RulesNames {
    std::vector<std::string> layouts;
    std::vector<std::string> variants;
    bool operator==(const RulesNames&) const = default;
};
RulesNames parseRulesNames(std::string_view property);

/// The sources of a keymap with groupCount groups named by names; a group the names leave out
/// has no layout name.
std::vector<InputSource> sourcesFromRulesNames(const RulesNames& names, int groupCount);

class X11InputSources final : public InputSources {
public:
    /// Null, with a log line, when there is no display or no XKB. Needs a Qt application object
    /// for the notices. With keyboard, layouts are selected on its connection, where the tap's
    /// record sees the switch among the keys.
    static std::unique_ptr<X11InputSources> open(std::shared_ptr<X11Keyboard> keyboard = nullptr);
    /// The layouts enabled on the display now, read once, for runs that neither watch nor select
    /// (the command-line runs). None when there is no display or no XKB, or the keymap names none.
    static std::optional<std::vector<InputSource>> enabledOnDisplay();
    X11InputSources(const X11InputSources&) = delete;
    X11InputSources& operator=(const X11InputSources&) = delete;
    ~X11InputSources() override;

    std::vector<InputSource> enabled() const override;
    std::optional<InputSource> current() const override;
    void select(const InputSource& source) override;
    std::unique_ptr<Subscription> subscribe(std::function<void()> onChange) override;

private:
    class Token;
    X11InputSources(DisplayPtr display, int xkbEventBase, std::shared_ptr<X11Keyboard> keyboard);
    /// Reads the notices that came; with askGroup the group is read even when no notice said so.
    void readEvents(bool askGroup);
    void readLayouts();
    std::optional<int> readGroup() const;

    DisplayPtr m_display;
    std::shared_ptr<X11Keyboard> m_keyboard;
    int m_xkbEventBase = 0;
    unsigned long m_rulesAtom = 0;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::vector<InputSource> m_sources;
    std::optional<int> m_group;
    mutable bool m_readScheduled = false;
    Signal<> m_changed;
};

}  // namespace kx::platform::x11
