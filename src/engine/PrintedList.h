#pragma once
// Lists of texts as the command-line runs print them: ["ABC[en]", "Hebrew[he]"].

#include <string>
#include <vector>

namespace kx {

/// The items as double-quoted literals, both quote marks, backslashes and control characters
/// escaped (controls as two hex digits, "\u{07}"), separated by ", " inside square brackets.
std::string printedList(const std::vector<std::string>& items);

}  // namespace kx
