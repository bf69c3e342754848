#pragma once
// One instance per X server, as window and clipboard managers are: the instance owns a manager
// selection on the server ("<name>_S0", announced with the MANAGER client message), which every
// client of the server sees whatever it called the display and whoever runs it. The keyboard is
// the server's, not a screen's, so screen 0's selection stands for the whole server. The server
// frees the selection when its owner's connection closes, a crash included.
//
// Before the selection the user's lock file is taken (UserLockFile: "<name>.<server>.lock" in the
// runtime folder): no other user can take that one first.

#include "platform/InstanceLock.h"
#include "platform/UserLockFile.h"
#include "platform/x11/XConnection.h"

#include <filesystem>
#include <string>

namespace kx::platform::x11 {

class X11InstanceLock final : public InstanceLock {
public:
    /// display: the X display name (null: $DISPLAY). runtimeFolder: the user's own runtime folder.
    X11InstanceLock(const char* display, std::filesystem::path runtimeFolder);
    ~X11InstanceLock() override = default;
    X11InstanceLock(const X11InstanceLock&) = delete;
    X11InstanceLock& operator=(const X11InstanceLock&) = delete;

    /// heldElsewhere when the user's lock file or the server's selection is held; failed when the
    /// server cannot be reached or refuses the selection (a lock file that cannot be made only
    /// logs: the selection still keeps every second instance out).
    LockResult tryAcquire(const std::string& name) override;
    /// The holder's pid, user and host as far as they are known, and the selection's owner window.
    std::string holder() const override { return m_holder; }

    /// The connection's socket, readable when another client asks for the selection; -1 while
    /// the selection is not held.
    int fd() const;
    /// Refuses every request to convert the selection (it carries no data) and logs its loss to
    /// another program. Call when fd() is readable.
    void answerRequests();

    /// The part of a display name that tells X servers apart: the host and the display number,
    /// without the screen or the transport (":0.1", "unix:0" and "unix/:0" are all ":0").
    static std::string serverOf(const std::string& display);

private:
    LockResult claimSelection(const std::string& name);
    void describeOwner(unsigned long owner);

    std::string m_displayName;
    UserLockFile m_file;
    DisplayPtr m_display;  // kept open while the selection is held: closing it gives the selection up
    unsigned long m_selection = 0;
    unsigned long m_window = 0;
    std::string m_holder;
};

}  // namespace kx::platform::x11
