#pragma once
// Opens web pages and files with the desktop's default handler, and says so when that fails: a
// message with the address or path to copy, since a desktop without a browser or file handler
// would otherwise leave the click without an answer. It also tells the user how to turn on each
// permission on this desktop: its help page where the desktop has one, else the steps.

#include "controller/AlertView.h"
#include "platform/Pasteboard.h"
#include "platform/Permissions.h"
#include "platform/Workspace.h"

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

class PageOpener {
public:
    /// All must outlive the opener; alerts may be null (nothing is said then).
    PageOpener(platform::Workspace& workspace, platform::Pasteboard& pasteboard, AlertView* alerts);

    /// Opens a web page; on failure shows its address with a button that copies it.
    void openPage(const std::string& url);
    /// Opens file with its default application; on failure shows its path with a button that
    /// copies it. what names the file in the message ("the log file").
    void openFile(const std::filesystem::path& file, const std::string& what);
    /// How to grant permission here; missing: what the desktop lacks for it (Permissions::
    /// missingParts). currentDesktop: $XDG_CURRENT_DESKTOP ("ubuntu:GNOME").
    void explainPermission(platform::Permission permission, const std::vector<std::string>& missing,
                           std::string_view currentDesktop);
    /// The same on the desktop this process runs on.
    void explainPermission(platform::Permission permission, const std::vector<std::string>& missing);

    /// value with all but RFC 3986's unreserved characters (and those in alsoKept) percent-encoded.
    static std::string percentEncoded(std::string_view value, std::string_view alsoKept = {});
    /// "file://" and the percent-encoded absolute path.
    static std::string fileUrl(const std::filesystem::path& file);
    /// Whether the session is GNOME's, whose help has a page on accessibility.
    static bool isGnome(std::string_view currentDesktop);

private:
    /// The message, lead and copied below it, and a button titled copyTitle that copies copied.
    void offerToCopy(const std::string& message, const std::string& lead, const std::string& copied,
                     const std::string& copyTitle);
    void explain(const std::string& message, const std::string& steps);

    platform::Workspace& m_workspace;
    platform::Pasteboard& m_pasteboard;
    AlertView* m_alerts;
    std::shared_ptr<char> m_life = std::make_shared<char>(0);
};

}  // namespace kx
