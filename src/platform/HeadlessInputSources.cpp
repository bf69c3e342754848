#include "platform/HeadlessInputSources.h"

#include <cstdlib>

namespace kx::platform {

namespace {

std::vector<std::string> commaSeparated(std::string_view list)
{
    std::vector<std::string> items;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = list.find(',', start);
        items.emplace_back(list.substr(start, comma == std::string_view::npos ? comma : comma - start));
        if (comma == std::string_view::npos)
            return items;
        start = comma + 1;
    }
}

std::string_view environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

class HeadlessInputSources::Token final : public Subscription {
public:
    Token(std::weak_ptr<std::map<int, std::function<void()>>> subscribers, int id)
        : m_subscribers(std::move(subscribers)), m_id(id)
    {}
    ~Token() override
    {
        if (auto subscribers = m_subscribers.lock())
            subscribers->erase(m_id);
    }

private:
    std::weak_ptr<std::map<int, std::function<void()>>> m_subscribers;
    int m_id;
};

HeadlessInputSources::HeadlessInputSources()
    : HeadlessInputSources(environment("XKB_DEFAULT_LAYOUT"), environment("XKB_DEFAULT_VARIANT"))
{}

HeadlessInputSources::HeadlessInputSources(std::string_view layouts, std::string_view variants)
    : m_subscribers(std::make_shared<std::map<int, std::function<void()>>>())
{
    // xkbcommon's own default when nothing is named.
    const std::vector<std::string> names = commaSeparated(layouts.empty() ? "us" : layouts);
    const std::vector<std::string> variantNames = commaSeparated(variants);
    for (std::size_t i = 0; i < names.size(); ++i) {
        m_sources.push_back({names[i], i < variantNames.size() ? variantNames[i] : "", int(i)});
    }
}

HeadlessInputSources::HeadlessInputSources(std::vector<InputSource> sources)
    : m_sources(std::move(sources)), m_subscribers(std::make_shared<std::map<int, std::function<void()>>>())
{}

std::vector<InputSource> HeadlessInputSources::enabled() const
{
    return m_sources;
}

std::optional<InputSource> HeadlessInputSources::current() const
{
    return m_sources[m_current];
}

void HeadlessInputSources::select(const InputSource& source)
{
    if (source.handle < 0 || std::size_t(source.handle) >= m_sources.size())
        return;
    if (std::size_t(source.handle) == m_current)
        return;
    m_current = std::size_t(source.handle);
    // A subscriber may unsubscribe while being told, so tell a copy.
    const auto subscribers = *m_subscribers;
    for (const auto& [id, onChange] : subscribers)
        onChange();
}

std::unique_ptr<InputSources::Subscription> HeadlessInputSources::subscribe(std::function<void()> onChange)
{
    const int id = m_nextToken++;
    m_subscribers->emplace(id, std::move(onChange));
    return std::make_unique<Token>(m_subscribers, id);
}

}  // namespace kx::platform
