#pragma once
// The enabled keyboard layouts of the simulated desktop, named the XKB way ("us", "il",
// "us(dvorak)"), each with its real key table. Change notices come on the main queue, after the
// change, whether the user or the program selected the layout.

#include "platform/DelayedBlocks.h"
#include "platform/InputSources.h"
#include "platform/KeyTable.h"
#include "platform/MainQueue.h"
#include "platform/Observable.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kx::sim {

class SimInputSources final : public platform::InputSources {
public:
    explicit SimInputSources(MainQueue& mainQueue);

    std::vector<platform::InputSource> enabled() const override;
    std::optional<platform::InputSource> current() const override;
    /// The program's selection; recorded in selections(). An unknown source changes nothing.
    void select(const platform::InputSource& source) override;
    std::unique_ptr<Subscription> subscribe(std::function<void()> onChange) override;

    /// The user's settings: these layouts, the first one selected. No notice.
    void setEnabled(const std::vector<std::string>& names);
    /// The user switches layouts (the desktop's shortcut); the notice comes noticeAfter seconds
    /// later. An unknown name changes nothing.
    void userSelect(std::string_view name, double noticeAfter = 0);

    /// The name of the selected layout ("il"); empty when none is enabled.
    std::string currentName() const;
    /// What the keys type on the selected layout, and on the one selected before the last change.
    platform::KeyTable currentTable() const;
    platform::KeyTable previousTable() const;
    /// What the keys type on the source with this handle; an empty table for an unknown one.
    platform::KeyTable tableOf(int handle) const;
    /// Every layout the program selected, by name, in order (also ones already selected).
    const std::vector<std::string>& selections() const { return m_selections; }
    /// Told of each of the program's selections as it takes effect, with the source's handle.
    std::function<void(int)> onProgramSelect;

    static std::string nameOf(const platform::InputSource& source);

private:
    void change(std::size_t index, double noticeAfter = 0);

    std::vector<platform::InputSource> m_sources;
    std::vector<platform::KeyTable> m_tables;
    std::size_t m_current = 0;
    std::size_t m_previous = 0;
    std::vector<std::string> m_selections;
    std::shared_ptr<Signal<>> m_changed = std::make_shared<Signal<>>();
    // Change notices on their way; dropped with the sources.
    DelayedBlocks m_notices;
};

}  // namespace kx::sim
