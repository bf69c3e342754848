#include "platform/sim/SimDesktop.h"

#include "engine/TranslationEngine.h"
#include "platform/Text.h"

namespace kx::sim {

SimDesktop::SimDesktop(VirtualMainQueue& mainQueue)
    : m_mainQueue(mainQueue),
      m_inputSources(mainQueue),
      m_workspace(mainQueue),
      m_eventPoster([this](const platform::SyntheticKey& key) {
          if (key.down)
              keyDown(key);
      }),
      m_accessibility([this]() -> const SimTextField* { return focusedField(); },
                      [this] {
                          const auto front = m_workspace.frontApplication();
                          return front ? front->pid : 0;
                      }),
      m_secureInput(m_workspace)
{
    m_eventTap.deliverPassed = [this](const platform::TapEvent& event) {
        deliverToField({.code = event.code, .flags = event.flags, .down = true, .text = {}, .marked = false});
    };
    m_eventTap.onFault = [this](const std::string& fault) { m_faults.push_back(fault); };
    m_inputSources.onProgramSelect = [this](int handle) { m_eventTap.selected(handle); };
}

std::unique_ptr<platform::InstanceLock> SimDesktop::instanceLock()
{
    return std::make_unique<SimInstanceLock>(m_lockedNames, "process " + std::to_string(++m_locksHandedOut));
}

SimTextField& SimDesktop::launch(const SimApplication& app)
{
    m_workspace.launch(app);
    auto& field = m_fields[app.id];
    field = std::make_unique<SimTextField>();
    return *field;
}

SimTextField& SimDesktop::field(const std::string& appID)
{
    return *m_fields.at(appID);
}

SimTextField* SimDesktop::focusedField()
{
    const auto front = m_workspace.frontApplication();
    if (!front)
        return nullptr;
    const auto found = m_fields.find(front->id);
    return found == m_fields.end() ? nullptr : found->second.get();
}

void SimDesktop::type(std::string_view text)
{
    for (const auto& character : text::characters(text)) {
        if (character == "\b") {
            press(KeyCode::delete_);
            continue;
        }
        if (character == "\n") {
            press(KeyCode::return_);
            continue;
        }
        const auto& keys = keysOfCurrentLayout();
        const auto found = keys.find(character);
        if (found == keys.end()) {
            m_faults.push_back("no key types '" + character + "' on layout '" + m_inputSources.currentName() + "'");
            continue;
        }
        press(found->second.code, found->second.flags);
    }
}

void SimDesktop::press(std::uint16_t code, std::uint64_t flags)
{
    settle();
    keyDown({.code = code, .flags = flags, .down = true, .text = {}, .marked = false});
    settle();
}

void SimDesktop::pressDelivered(std::uint16_t code, std::uint64_t flags)
{
    settle();
    const platform::SyntheticKey key{.code = code, .flags = flags, .down = true, .text = {}, .marked = false};
    if (SimTextField* field = focusedField())
        field->keyDown(key, readingLayout(*field, key), m_pasteboard);
    m_eventTap.route({.type = platform::TapEventType::keyDown,
                      .code = code,
                      .flags = flags,
                      .sourceHandle = currentHandle(),
                      .marked = false,
                      .delivered = true,
                      .location = {}});
    settle();
}

void SimDesktop::pressSlowly(std::uint16_t code, std::uint64_t flags)
{
    settle();
    m_eventTap.takeSlowly({.type = platform::TapEventType::keyDown,
                           .code = code,
                           .flags = flags,
                           .sourceHandle = currentHandle(),
                           .marked = false,
                           .location = {}});
    settle();
}

void SimDesktop::click(MouseButton button, platform::ScreenPoint at)
{
    settle();
    m_pointer.where = at;
    const auto type =
        button == MouseButton::left ? platform::TapEventType::leftMouseDown : platform::TapEventType::rightMouseDown;
    m_eventTap.route({.type = type, .code = 0, .flags = 0, .marked = false, .location = at});
    settle();
}

void SimDesktop::switchLayout(std::string_view name, double noticeAfter)
{
    settle();
    m_inputSources.userSelect(name, noticeAfter);
    settle();
}

void SimDesktop::activate(const std::string& appID)
{
    settle();
    m_workspace.activate(appID);
    settle();
}

// Only key-downs matter: the tap sees no key-ups, and a field acts on the down.
void SimDesktop::keyDown(const platform::SyntheticKey& key)
{
    const platform::TapEvent event{.type = platform::TapEventType::keyDown,
                                   .code = key.code,
                                   .flags = key.flags,
                                   .sourceHandle = key.marked ? key.sourceHandle : currentHandle(),
                                   .marked = key.marked,
                                   .location = {}};
    if (m_eventTap.route(event) == platform::TapVerdict::swallow)
        return;
    deliverToField(key);
}

void SimDesktop::deliverToField(const platform::SyntheticKey& key)
{
    SimTextField* field = focusedField();
    if (!field)
        return;
    field->keyDown(key, readingLayout(*field, key), m_pasteboard);
}

platform::KeyTable SimDesktop::readingLayout(const SimTextField& field, const platform::SyntheticKey& key)
{
    if (!SimTextField::typesThroughLayout(key))
        return m_inputSources.currentTable();
    // The program's key for a layout not selected types that layout's character.
    if (key.marked && key.sourceHandle >= 0 && key.sourceHandle != currentHandle())
        return m_inputSources.tableOf(key.sourceHandle);
    const std::string current = m_inputSources.currentName();
    if (current != m_layoutAtLastKey) {
        m_oldTable = m_tableAtLastKey;
        m_staleKeysLeft = m_layoutAtLastKey.empty() ? 0 : field.keysOnOldLayout;
        m_layoutAtLastKey = current;
        m_tableAtLastKey = m_inputSources.currentTable();
    }
    if (m_staleKeysLeft > 0) {
        --m_staleKeysLeft;
        return m_oldTable;
    }
    return m_tableAtLastKey;
}

int SimDesktop::currentHandle() const
{
    const auto current = m_inputSources.current();
    return current ? current->handle : -1;
}

const std::map<std::string, KeyStroke>& SimDesktop::keysOfCurrentLayout()
{
    const std::string name = m_inputSources.currentName();
    auto found = m_inverseMaps.find(name);
    if (found == m_inverseMaps.end())
        found = m_inverseMaps.emplace(name, TranslationEngine::inverseMap(m_inputSources.currentTable())).first;
    return found->second;
}

}  // namespace kx::sim
