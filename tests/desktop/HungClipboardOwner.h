#pragma once
// Another process that takes the clipboard and never answers for it, as a frozen application
// would. Its own process, since this one's windows count as ours. Killed when the object goes.

#include <sys/types.h>

namespace kx::test {

class HungClipboardOwner {
public:
    HungClipboardOwner();
    ~HungClipboardOwner();
    HungClipboardOwner(const HungClipboardOwner&) = delete;
    HungClipboardOwner& operator=(const HungClipboardOwner&) = delete;

    /// It owns the clipboard now.
    bool owns() const { return m_owns; }

private:
    pid_t m_pid = -1;
    bool m_owns = false;
};

}  // namespace kx::test
