#pragma once
// Input sources that nothing else selects: the layouts named by XKB_DEFAULT_LAYOUT and
// XKB_DEFAULT_VARIANT (comma-separated, as xkbcommon reads them; "us" when unset), or a list read
// elsewhere; the first one selected.

#include "platform/InputSources.h"

#include <map>
#include <string_view>

namespace kx::platform {

class HeadlessInputSources final : public InputSources {
public:
    /// Reads the environment.
    HeadlessInputSources();
    /// The given comma-separated lists, as the environment would hold them.
    HeadlessInputSources(std::string_view layouts, std::string_view variants);
    /// These sources, which must not be empty.
    explicit HeadlessInputSources(std::vector<InputSource> sources);

    std::vector<InputSource> enabled() const override;
    std::optional<InputSource> current() const override;
    /// Selects the source with that handle and, when that changes the selection, notifies the
    /// subscribers at once. An unknown handle changes nothing.
    void select(const InputSource& source) override;
    std::unique_ptr<Subscription> subscribe(std::function<void()> onChange) override;

private:
    class Token;
    std::vector<InputSource> m_sources;
    std::size_t m_current = 0;
    std::shared_ptr<std::map<int, std::function<void()>>> m_subscribers;
    int m_nextToken = 0;
};

}  // namespace kx::platform
