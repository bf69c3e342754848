#pragma once
// Which of the program's own files (settings, history) could not be written, and why. Correcting
// goes on with the changes kept in memory; the settings window says so, and the first failure
// goes to standard error and the log once, not at every write of a full disk.

#include "platform/Observable.h"

#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace kx {

class UnsavedFiles {
public:
    struct Failure {
        std::filesystem::path file;
        /// "No space left on device".
        std::string reason;
        bool operator==(const Failure&) const = default;
    };

    /// The one the settings and the history report to.
    static UnsavedFiles& shared();

    /// How the last write of file went: an error marks it unsaved, no error saved again. When a
    /// file fails while every other was saved, one line "<owner>: cannot write <file>: <reason>; …"
    /// goes to standard error and the log. Main thread, where settings and history are written.
    void note(std::string_view owner, const std::filesystem::path& file, std::error_code error);
    /// The files whose last write failed, in the order they failed; empty when all is saved.
    std::vector<Failure> failures() const;

    /// After failures() changed.
    Signal<> changed;

private:
    mutable std::mutex m_mutex;
    std::vector<Failure> m_failures;
};

}  // namespace kx
