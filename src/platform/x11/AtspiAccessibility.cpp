#include "platform/x11/AtspiAccessibility.h"

#include "platform/Text.h"
#include "platform/x11/AtspiSession.h"

#include <atspi/atspi.h>

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
        [shared](AtspiAccessible* focused) {
            // A password field's text never enters this process, not even as bullets.
            if (!focused || atspi_accessible_get_role(focused, nullptr) == ATSPI_ROLE_PASSWORD_TEXT)
                return;
            AtspiText* textInterface = atspi_accessible_get_text_iface(focused);
            if (!textInterface)
                return;
            const std::unique_ptr<AtspiText, void (*)(void*)> text(textInterface, g_object_unref);
            GError* error = nullptr;
            const int count = atspi_text_get_character_count(text.get(), &error);
            if (error) {
                g_error_free(error);
                return;
            }
            gchar* raw = atspi_text_get_text(text.get(), 0, count, &error);
            if (error || !raw) {
                g_clear_error(&error);
                g_free(raw);
                return;
            }
            Reading reading;
            reading.text = text::toScalars(raw);
            g_free(raw);
            reading.caret = atspi_text_get_caret_offset(text.get(), &error);
            if (error) {
                g_error_free(error);
                return;
            }
            if (atspi_text_get_n_selections(text.get(), nullptr) > 0) {
                if (AtspiRange* range = atspi_text_get_selection(text.get(), 0, nullptr)) {
                    const auto start = std::min(range->start_offset, range->end_offset);
                    const auto end = std::max(range->start_offset, range->end_offset);
                    if (end > start)
                        reading.selection = std::pair<std::int64_t, std::int64_t>(start, end);
                    g_free(range);
                }
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

bool AtspiAccessibility::isReachable()
{
    return m_session.connected(0);
}

bool AtspiAccessibility::offersAccessibility(std::int32_t pid)
{
    return pid > 0 && m_session.applications().contains(pid);
}

}  // namespace kx::platform::x11
