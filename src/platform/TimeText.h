#pragma once
// A moment as text in a strftime format, in UTC or the user's time zone.

#include <ctime>
#include <string>

namespace kx::timetext {

std::string utc(std::time_t time, const char* format);
std::string local(std::time_t time, const char* format);

}  // namespace kx::timetext
