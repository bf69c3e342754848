#include "platform/sim/SimInputSources.h"

namespace kx::sim {

namespace {

class Token final : public platform::InputSources::Subscription {
public:
    explicit Token(std::unique_ptr<kx::Subscription> inner) : m_inner(std::move(inner)) {}

private:
    std::unique_ptr<kx::Subscription> m_inner;
};

platform::InputSource parse(std::string_view name, int handle)
{
    platform::InputSource source;
    source.handle = handle;
    const auto open = name.find('(');
    if (open != std::string_view::npos && name.ends_with(')')) {
        source.layout = std::string(name.substr(0, open));
        source.variant = std::string(name.substr(open + 1, name.size() - open - 2));
    } else {
        source.layout = std::string(name);
    }
    return source;
}

}  // namespace

SimInputSources::SimInputSources(MainQueue& mainQueue) : m_notices(mainQueue) {}

std::vector<platform::InputSource> SimInputSources::enabled() const
{
    return m_sources;
}

std::optional<platform::InputSource> SimInputSources::current() const
{
    if (m_sources.empty())
        return std::nullopt;
    return m_sources[m_current];
}

void SimInputSources::select(const platform::InputSource& source)
{
    if (source.handle < 0 || static_cast<std::size_t>(source.handle) >= m_sources.size())
        return;
    m_selections.push_back(nameOf(m_sources[source.handle]));
    change(source.handle);
    if (onProgramSelect)
        onProgramSelect(source.handle);
}

std::unique_ptr<platform::InputSources::Subscription> SimInputSources::subscribe(std::function<void()> onChange)
{
    return std::make_unique<Token>(m_changed->subscribe(std::move(onChange)));
}

void SimInputSources::setEnabled(const std::vector<std::string>& names)
{
    m_sources.clear();
    m_tables.clear();
    for (const auto& name : names) {
        m_sources.push_back(parse(name, static_cast<int>(m_sources.size())));
        m_tables.push_back(platform::KeyTable::forLayout(m_sources.back().layout, m_sources.back().variant));
    }
    m_current = m_previous = 0;
}

void SimInputSources::userSelect(std::string_view name, double noticeAfter)
{
    for (std::size_t i = 0; i < m_sources.size(); ++i) {
        if (nameOf(m_sources[i]) == name) {
            change(i, noticeAfter);
            return;
        }
    }
}

std::string SimInputSources::currentName() const
{
    return m_sources.empty() ? std::string() : nameOf(m_sources[m_current]);
}

platform::KeyTable SimInputSources::currentTable() const
{
    return m_tables.empty() ? platform::KeyTable() : m_tables[m_current];
}

platform::KeyTable SimInputSources::tableOf(int handle) const
{
    if (handle < 0 || static_cast<std::size_t>(handle) >= m_tables.size())
        return {};
    return m_tables[handle];
}

platform::KeyTable SimInputSources::previousTable() const
{
    return m_tables.empty() ? platform::KeyTable() : m_tables[m_previous];
}

std::string SimInputSources::nameOf(const platform::InputSource& source)
{
    return source.variant.empty() ? source.layout : source.layout + "(" + source.variant + ")";
}

void SimInputSources::change(std::size_t index, double noticeAfter)
{
    if (index == m_current)
        return;
    m_previous = m_current;
    m_current = index;
    // The desktop announces a change through its event loop, never inside the call that made it.
    m_notices.after(noticeAfter, [this] { m_changed->notify(); });
}

}  // namespace kx::sim
