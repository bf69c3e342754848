#pragma once
// A lock only its user can take: a file in the user's runtime folder ($XDG_RUNTIME_DIR, owned by
// the user, 0700), locked with flock() for as long as the process keeps it open. The kernel lets
// go of it when the process ends however it ends, and no other user can create, lock or replace
// a file there. The holder writes its pid into the file, for the one it keeps out to name.

#include "platform/InstanceLock.h"

#include <filesystem>
#include <string>

namespace kx::platform {

class UserLockFile {
public:
    /// Files go into folder, which must be a folder of this user that no one else may write
    /// into, else tryAcquire() fails.
    explicit UserLockFile(std::filesystem::path folder);
    ~UserLockFile();
    UserLockFile(const UserLockFile&) = delete;
    UserLockFile& operator=(const UserLockFile&) = delete;

    /// Locks folder/fileName, kept until this object goes. heldElsewhere while another process
    /// (or another UserLockFile of this one) holds it; failed, with a log line, when the folder is
    /// missing or not the user's own, or the file cannot be made or locked. Asking again for the
    /// file held is acquired.
    LockResult tryAcquire(const std::string& fileName);
    /// The pid the holder wrote, after tryAcquire() answered heldElsewhere; 0 when unknown.
    int holderPid() const { return m_holderPid; }

private:
    std::filesystem::path m_folder;
    std::string m_heldName;
    int m_fd = -1;
    int m_holderPid = 0;
};

}  // namespace kx::platform
