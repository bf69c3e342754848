#pragma once
// The real executable on the shared test desktop, with settings, log and history in a folder of
// its own, as a user who has been through the walkthrough, with a tray as a desktop has.

#include "TempFolder.h"

#include <string>
#include <sys/types.h>

namespace kx::bench {

class KestrelixProcess {
public:
    /// Starts the executable (by default the one built beside the benchmark) and waits until its
    /// log says it is ready to correct and its languages are in; check ok().
    explicit KestrelixProcess(const std::string& executable = KX_EXECUTABLE);
    KestrelixProcess(const KestrelixProcess&) = delete;
    KestrelixProcess& operator=(const KestrelixProcess&) = delete;
    ~KestrelixProcess();

    bool ok() const { return m_pid > 0; }
    bool running();
    std::string log() const;
    /// User and system time so far, from /proc; 0 when it is gone.
    double cpuSeconds() const;
    /// Peak resident memory (VmHWM) in kB; 0 when it is gone.
    long peakResidentKb() const;

private:
    test::TempFolder m_home{"kx-typing-home"};
    pid_t m_tray = -1;
    pid_t m_pid = -1;
};

}  // namespace kx::bench
