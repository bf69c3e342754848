// What the status menu and the settings window ask of the controller: the settings window on a
// tab, the product site's update and report pages, a layout chosen by hand, the report the History
// tab copies, the diagnostics line, the test word and the feedback note.

#include "controller/AppController.h"

#include "controller/AlertView.h"
#include "platform/Log.h"
#include "platform/TimeText.h"

#include <sys/utsname.h>

#include <algorithm>
#include <chrono>
#include <string_view>

namespace kx {

namespace {

constexpr std::string_view siteAddress = "https://kestrelix.app";
constexpr std::string_view contactAddress = "hello@kestrelix.app";
constexpr std::string_view copyAddressTitle = "Copy Noa’s Address";

constexpr double testCorrectionDelay = 3.0;
// Nothing is verified after the test word, so its rewrite ends sooner than a correction's.
constexpr double testCorrectionTail = 0.2;
constexpr std::string_view testWord = "שלום ";

// The system line of the report: the kernel the desktop runs on.
std::string systemVersion()
{
    utsname names{};
    if (uname(&names) != 0)
        return "Linux";
    return std::string(names.sysname) + " " + names.release;
}

}  // namespace

void AppController::openWindow(SettingsTab tab)
{
    refreshRuntimeStatus();
    if (!m_services.settingsWindow)
        return;
    m_services.settingsWindow->show(SettingsContext{.store = &m_history,
                                                    .policy = &m_policy,
                                                    .registry = &m_registry,
                                                    .sound = &m_sound,
                                                    .behavior = &m_behavior,
                                                    .actions = this,
                                                    .windows = m_services.windows,
                                                    .loginItem = m_services.loginItem,
                                                    .workspace = m_services.workspace,
                                                    .defaults = m_services.defaults},
                                    tab);
}

void AppController::selectLayoutFromMenu(const std::string& layoutID)
{
    const auto found = std::ranges::find_if(m_registry.layouts, [&](const auto& l) { return l.id == layoutID; });
    if (found == m_registry.layouts.end())
        return;
    // A copy: the switch's notice refreshes the registry.
    const KeyboardLayoutInfo layout = *found;
    const auto current = m_registry.currentLayout();
    switchLayoutOurselves(layout);
    const auto frontID = frontApplicationID();
    if (frontID && m_policy.usesClipboard(*frontID) && current && current->id != layout.id)
        expectStaleKeys(*current, layout, StaleArm::ownSwitch);
    else
        m_repairs.endStaleWatch();
}

std::string AppController::appVersion() const
{
    return m_services.version.empty() ? "0" : m_services.version;
}

void AppController::checkForUpdates()
{
    // Values are percent-encoded, so that none can end its query field or the address early.
    m_pages.openPage(std::string(siteAddress) + "/update/?v=" + PageOpener::percentEncoded(appVersion()));
}

void AppController::reportMiss()
{
    m_pages.openPage(std::string(siteAddress) + "/report/?v=" + PageOpener::percentEncoded(appVersion()) +
                     "&mode=" + PageOpener::percentEncoded(m_behavior.correctionMode().rawValue()));
}

std::string AppController::reportText()
{
    const auto now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::string layouts;
    for (const auto& layout : m_registry.layouts)
        layouts += (layouts.empty() ? "" : ", ") + layout.localizedName + "[" + layout.language() + "]";
    const std::string header =
        "Kestrelix report · " + timetext::local(now, "%b %-d, %Y at %H:%M") + "\n" + "build " +
        (m_services.version.empty() ? std::string("dev") : m_services.version) + " · " + systemVersion() + "\n" +
        "layouts: " + layouts + "\n" +
        "permissions: ax=" + boolText(m_services.permissions->isGranted(platform::Permission::accessibility)) +
        " im=" + boolText(m_services.permissions->isGranted(platform::Permission::inputMonitoring)) +
        " · mode=" + std::string(m_behavior.correctionMode().rawValue());
    return m_history.report(header);
}

std::string AppController::secureInputHolderText() const
{
    if (!m_services.secureInput->isEnabled())
        return "-";
    const SecureInputWatch::Holder holder = m_status.secureInputWatch().secureInputHolder();
    return (holder.name.empty() ? "?" : holder.name) + " pid=" + (holder.pid ? std::to_string(*holder.pid) : "?") +
           (holder.alive ? "" : " STUCK(holder gone)");
}

void AppController::runDiagnostics()
{
    std::vector<std::string> layouts;
    for (const auto& layout : m_registry.layouts)
        layouts.push_back(layout.localizedName + "[" + layout.language() + "]");
    const auto current = m_registry.currentLayout();
    const auto frontID = frontApplicationID();

    std::string line = "DIAGNOSTICS";
    const auto field = [&line](std::string_view key, const std::string& value) {
        line += " ";
        line += key;
        line += "=" + value;
    };
    field("accessibility", boolText(m_services.permissions->isGranted(platform::Permission::accessibility)));
    field("inputMonitoring", boolText(m_services.permissions->isGranted(platform::Permission::inputMonitoring)));
    field("started", boolText(m_status.started()));
    field("tapInstalled", boolText(tap != nullptr));
    field("keysSeenByTap", std::to_string(keysSeen));
    field("mode", std::string(m_behavior.correctionMode().rawValue()));
    field("isActuating", boolText(m_actuation.active()));
    field("layouts", arrayNotation(layouts));
    field("currentLayout", current ? current->localizedName : "nil");
    field("frontApp", frontID.value_or("?"));
    field("allowed", boolText(m_policy.isCorrectionAllowed(frontID)));
    field("secureInput", boolText(m_services.secureInput->isEnabled()));
    field("secureInputHeldBy", secureInputHolderText());
    // Named only when it offers no accessibility: password fields there cannot be recognised, and
    // what is typed there is not kept.
    if (!frontAppReadable())
        field("frontAppAccessible", "false");
    // Named only when one is missing: corrections in that language then quietly stop.
    if (const std::vector<std::string> missing = missingWordLists(); !missing.empty())
        field("missingWordLists", arrayNotation(missing));
    Log::line(line);

    // The viewer should find the line just written.
    Log::flush();
    m_pages.openFile(Log::url(), "the log file");
}

void AppController::openLogFile()
{
    std::error_code error;
    // Right after an erase there is no log yet; opening nothing would only show an error.
    if (std::filesystem::exists(Log::url(), error))
        m_pages.openFile(Log::url(), "the log file");
}

void AppController::testCorrection()
{
    Log::line("test correction in 3s — focus a text field");
    later(testCorrectionDelay, [this] {
        beginActuating();
        m_actuator.insert(std::string(testWord));
        m_assembler.lastEmitted.reset();
        finishActuation(testCorrectionTail, std::nullopt, ActuationStrategy::synthetic, "?", false);
        Log::line("test correction fired");
    });
}

void AppController::showFeedback()
{
    if (!m_services.alerts)
        return;
    const std::string address(contactAddress);
    const Alert alert{.message = "Kestrelix is in beta",
                      .informativeText = "Happy to hear your thoughts, suggestions, and complaints. Email me at " +
                                         address + ". Thanks.",
                      .buttons = {std::string(copyAddressTitle), "Close"}};
    m_services.alerts->show(alert, whileAlive([this, address](auto chosen) {
                                if (chosen != 0)
                                    return;
                                m_services.pasteboard->clearContents();
                                m_services.pasteboard->setString(address);
                                flash("↺ " + address + " copied");
                            }));
}

}  // namespace kx
