#include "platform/x11/AtspiAccessibility.h"

#include "platform/Log.h"
#include "platform/Text.h"
#include "platform/x11/AtspiObject.h"
#include "platform/x11/AtspiSession.h"

#include <atspi/atspi-constants.h>

#include <algorithm>
#include <memory>
#include <mutex>

namespace kx::platform::x11 {

namespace {

// A read is a handful of bus calls; the caller waits for this many of its time-outs.
constexpr double callsPerRead = 4.0;

}  // namespace

struct AtspiAccessibility::Reading {
    std::u32string text;
    std::int64_t caret = 0;                                          // scalars
    std::optional<std::pair<std::int64_t, std::int64_t>> selection;  // scalars, start and end
};

AtspiAccessibility::AtspiAccessibility(AtspiSession& session) : m_session(session) {}

std::int64_t AtspiAccessibility::utf16Offset(std::u32string_view text, std::int64_t scalarOffset)
{
    if (scalarOffset <= 0)
        return scalarOffset;
    const auto inside = std::min<std::int64_t>(scalarOffset, static_cast<std::int64_t>(text.size()));
    std::int64_t units = 0;
    for (std::int64_t i = 0; i < inside; ++i)
        units += text[static_cast<std::size_t>(i)] > 0xFFFF ? 2 : 1;
    return units + (scalarOffset - inside);
}

std::optional<AtspiAccessibility::Reading> AtspiAccessibility::read(double timeout)
{
    // The reading outlives this call when the application answers too late.
    struct Shared {
        std::mutex mutex;
        std::optional<Reading> reading;
    };
    auto shared = std::make_shared<Shared>();
    const bool finished = m_session.run(
        [shared](DBusConnection* bus, const AtspiObject* focused, int timeoutMs) {
            // A password field's text never enters this process, not even as bullets.
            if (!focused || focused->role(bus, timeoutMs) == ATSPI_ROLE_PASSWORD_TEXT)
                return;
            const auto count = focused->characterCount(bus, timeoutMs);
            const auto caret = focused->caretOffset(bus, timeoutMs);
            if (!count || !caret)
                return;
            const auto text = focused->text(bus, 0, *count, timeoutMs);
            if (!text)
                return;
            Reading reading;
            reading.text = text::toScalars(*text);
            reading.caret = *caret;
            if (const auto range = focused->firstSelection(bus, timeoutMs)) {
                const auto start = std::min(range->first, range->second);
                const auto end = std::max(range->first, range->second);
                if (end > start)
                    reading.selection = std::pair<std::int64_t, std::int64_t>(start, end);
            }
            std::lock_guard lock(shared->mutex);
            shared->reading = std::move(reading);
        },
        timeout, timeout * callsPerRead);
    if (!finished)
        return std::nullopt;
    std::lock_guard lock(shared->mutex);
    return std::move(shared->reading);
}

std::optional<std::string> AtspiAccessibility::focusedValue(double timeout)
{
    const auto reading = read(timeout);
    if (!reading)
        return std::nullopt;
    return text::fromScalars(reading->text);
}

std::optional<TextRange> AtspiAccessibility::selectedRange(double timeout)
{
    const auto reading = read(timeout);
    if (!reading)
        return std::nullopt;
    if (!reading->selection)
        return TextRange{utf16Offset(reading->text, reading->caret), 0};
    const auto start = utf16Offset(reading->text, reading->selection->first);
    const auto end = utf16Offset(reading->text, reading->selection->second);
    return TextRange{start, end - start};
}

std::optional<std::string> AtspiAccessibility::selectedText(double timeout)
{
    const auto reading = read(timeout);
    if (!reading)
        return std::nullopt;
    if (!reading->selection)
        return std::string();
    const auto size = static_cast<std::int64_t>(reading->text.size());
    const auto start = std::clamp<std::int64_t>(reading->selection->first, 0, size);
    const auto end = std::clamp<std::int64_t>(reading->selection->second, start, size);
    return text::fromScalars(std::u32string_view(reading->text)
                                 .substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)));
}

std::optional<std::string> AtspiAccessibility::textBeforeCaret(int count, double timeout)
{
    struct Shared {
        std::mutex mutex;
        std::optional<std::string> text;
    };
    auto shared = std::make_shared<Shared>();
    const bool finished = m_session.run(
        [shared, count](DBusConnection* bus, const AtspiObject* focused, int timeoutMs) {
            if (!focused || focused->role(bus, timeoutMs) == ATSPI_ROLE_PASSWORD_TEXT)
                return;
            auto end = focused->caretOffset(bus, timeoutMs);
            if (!end || *end < 0)
                return;
            if (const auto range = focused->firstSelection(bus, timeoutMs); range && range->first != range->second)
                end = std::min(range->first, range->second);
            const auto characters = focused->characterCount(bus, timeoutMs);
            if (!characters)
                return;
            end = std::min(*end, *characters);
            // AT-SPI counts characters as Unicode scalars, each one or two UTF-16 units: count
            // scalars always hold count units when the text has them.
            const int start = std::max(0, *end - std::max(count, 0));
            const auto piece = focused->text(bus, start, *end, timeoutMs);
            if (!piece)
                return;
            std::lock_guard lock(shared->mutex);
            shared->text = unitsBefore(*piece, static_cast<std::int64_t>(text::toUtf16(*piece).size()), count);
        },
        timeout, timeout * callsPerRead);
    if (!finished)
        return std::nullopt;
    std::lock_guard lock(shared->mutex);
    return std::move(shared->text);
}

bool AtspiAccessibility::isReachable()
{
    if (!m_session.connected(0))
        return false;
    const int front = m_session.frontProcess();
    if (!m_session.leftTheBus(front)) {
        m_silentFront = 0;
        return true;
    }
    // Its password fields are out of sight: it counts as unreachable until it registers again or
    // another application comes to the front.
    m_session.lookUpApplications();
    if (m_silentFront.exchange(front) != front)
        Log::line("accessibility: the application in front (pid " + std::to_string(front) +
                  ") left the AT-SPI bus and does not answer on it — keys there pass untouched");
    return false;
}

bool AtspiAccessibility::offersAccessibility(std::int32_t pid)
{
    if (pid <= 0)
        return false;
    if (m_session.applications().contains(pid))
        return true;
    // An application that started a moment ago may be registered by now.
    m_session.lookUpApplications();
    return false;
}

}  // namespace kx::platform::x11
