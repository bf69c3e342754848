#pragma once
// One home for atomic writes, set-aside files and bounded reads. Folders the program makes for
// its files are owner-only (0700): they hold what the user typed.

#include "platform/Result.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace kx::files {

/// Makes the folder that holds file, and any missing folder above it, with mode 0700. A failure
/// shows in the write that follows.
void makeParentFolder(const std::filesystem::path& file);

/// Writes all of data to fd, going on after interrupted or partial writes. False when a write fails.
bool writeAll(int fd, std::string_view data);

/// What replaceAtomically does when file is a symbolic link.
enum class Links {
    /// Writes the link's target (kept in a dotfiles repository, say) and keeps the link. A link
    /// to something other than a regular file is replaced.
    writeThrough,
    /// Replaces the link with a new file: the program's own output never lands elsewhere.
    replace,
};

/// Writes contents to a temporary file with mode 0600 beside the file written and renames it over
/// that file, so a reader sees the old contents or the new, never a part. Makes the folder when
/// missing. Returns the error of the step that failed, or no error.
std::error_code replaceAtomically(const std::filesystem::path& file, std::string_view contents,
                                  Links links = Links::writeThrough);

/// Renames file itself to "<name>.damaged-<UTC time>" beside it (with a counter when that exists),
/// mode 0600 when it is a regular file, and returns the new path; an empty path and the error when
/// it cannot be renamed. A link goes aside as the link: what it leads to is the user's, and is left
/// where and as it is.
std::filesystem::path setAside(const std::filesystem::path& file, std::error_code& error);

/// Deletes file itself, errors ignored. A link is removed as the link: what it leads to is left.
void erase(const std::filesystem::path& file);

/// Where the link at file leads, as the link says it; none when file is no link (or cannot be read).
std::optional<std::filesystem::path> linkTarget(const std::filesystem::path& file);

/// The whole of file when it is a regular file (or a link to one) of at most byteLimit bytes.
/// Never waits on a FIFO or device and never reads past byteLimit. Fails with ErrorCode::notFound
/// when there is no file, invalidInput when it is not a regular file or is too large, and denied
/// or io when it cannot be read; the message says which.
Result<std::string> readRegular(const std::filesystem::path& file, std::size_t byteLimit);

}  // namespace kx::files
