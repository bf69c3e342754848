#pragma once
// File writes that never leave a half-written file, and setting a damaged file aside.

#include <filesystem>
#include <string_view>
#include <system_error>

namespace kx::files {

/// Makes the folder that holds file when it is missing. A failure shows in the write that follows.
void makeParentFolder(const std::filesystem::path& file);

/// Writes all of data to fd, going on after interrupted or partial writes. False when a write fails.
bool writeAll(int fd, std::string_view data);

/// Writes contents to a sibling temporary file with mode 0600 and renames it over file, so a reader
/// sees the old contents or the new, never a part. Makes the folder when missing. Returns the error
/// of the step that failed, or no error.
std::error_code replaceAtomically(const std::filesystem::path& file, std::string_view contents);

/// Renames file to "<name>.damaged-<UTC time>" beside it (with a counter when that exists) and
/// returns the new path; an empty path and the error when it cannot be renamed.
std::filesystem::path setAside(const std::filesystem::path& file, std::error_code& error);

}  // namespace kx::files
