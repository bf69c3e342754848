#include "platform/TimeText.h"

namespace kx::timetext {

namespace {

std::string formatted(const std::tm& fields, const char* format)
{
    char text[64];
    return std::string(text, std::strftime(text, sizeof text, format, &fields));
}

}  // namespace

std::string utc(std::time_t time, const char* format)
{
    std::tm fields{};
    gmtime_r(&time, &fields);
    return formatted(fields, format);
}

std::string local(std::time_t time, const char* format)
{
    std::tm fields{};
    localtime_r(&time, &fields);
    return formatted(fields, format);
}

}  // namespace kx::timetext
