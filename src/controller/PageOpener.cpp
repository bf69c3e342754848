#include "controller/PageOpener.h"

#include "controller/Permissions.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace kx {

PageOpener::PageOpener(platform::Workspace& workspace, platform::Pasteboard& pasteboard, AlertView* alerts)
    : m_workspace(workspace), m_pasteboard(pasteboard), m_alerts(alerts)
{}

void PageOpener::openPage(const std::string& url)
{
    m_workspace.open(url, [this, url, life = std::weak_ptr<char>(m_life)] {
        if (life.lock())
            offerToCopy("Kestrelix couldn’t open the page",
                        "No browser opened it. Copy the address and open it in your browser:", url, "Copy Address");
    });
}

void PageOpener::openFile(const std::filesystem::path& file, const std::string& what)
{
    m_workspace.open(fileUrl(file), [this, file, what, life = std::weak_ptr<char>(m_life)] {
        if (life.lock())
            offerToCopy("Kestrelix couldn’t open " + what, "No application opened it. It is here:", file.string(),
                        "Copy Path");
    });
}

void PageOpener::explainPermission(platform::Permission permission, const std::vector<std::string>& missing,
                                   std::string_view currentDesktop)
{
    if (permission == platform::Permission::inputMonitoring) {
        explain("Kestrelix can’t see the keyboard on this display", Permissions::keyboardAccessSteps(missing));
        return;
    }
    const std::string steps(Permissions::accessibilitySteps);
    if (!isGnome(currentDesktop)) {
        explain("Turn on accessibility", steps);
        return;
    }
    Permissions::open(m_workspace, std::string(Permissions::accessibilityPane),
                      [this, steps, life = std::weak_ptr<char>(m_life)] {
                          if (life.lock())
                              explain("Turn on accessibility", steps);
                      });
}

void PageOpener::explainPermission(platform::Permission permission, const std::vector<std::string>& missing)
{
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    explainPermission(permission, missing, desktop ? desktop : "");
}

void PageOpener::offerToCopy(const std::string& message, const std::string& lead, const std::string& copied,
                             const std::string& copyTitle)
{
    if (!m_alerts)
        return;
    m_alerts->show({.message = message, .informativeText = lead + "\n\n" + copied, .buttons = {copyTitle, "Close"}},
                   [this, copied, life = std::weak_ptr<char>(m_life)](std::optional<std::size_t> chosen) {
                       if (!life.lock() || chosen != 0)
                           return;
                       m_pasteboard.clearContents();
                       m_pasteboard.setString(copied);
                   });
}

void PageOpener::explain(const std::string& message, const std::string& steps)
{
    if (m_alerts)
        m_alerts->show({.message = message, .informativeText = steps, .buttons = {"Close"}}, {});
}

std::string PageOpener::percentEncoded(std::string_view value, std::string_view alsoKept)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        const bool alphanumeric = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (alphanumeric || std::string_view("-._~").find(c) != std::string_view::npos ||
            alsoKept.find(c) != std::string_view::npos) {
            out += c;
        } else {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 0x0F];
        }
    }
    return out;
}

std::string PageOpener::fileUrl(const std::filesystem::path& file)
{
    return "file://" + percentEncoded(file.string(), "/");
}

bool PageOpener::isGnome(std::string_view currentDesktop)
{
    // A colon-separated list of names, such as "ubuntu:GNOME"; compared ignoring case.
    std::string names(currentDesktop);
    std::ranges::transform(names, names.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    std::string_view rest = names;
    while (!rest.empty()) {
        const auto colon = rest.find(':');
        if (rest.substr(0, colon) == "GNOME")
            return true;
        if (colon == std::string_view::npos)
            break;
        rest.remove_prefix(colon + 1);
    }
    return false;
}

}  // namespace kx
