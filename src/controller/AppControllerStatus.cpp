// The status item's button: the keyboard glyph that shows whether correction runs, and the short
// texts that replace it for a moment.

#include "controller/AppController.h"

#include "controller/StatusItemView.h"

namespace kx {

namespace {

constexpr double flashDuration = 1.4;

}  // namespace

void AppController::updateStatusGlyph()
{
    if (!statusItem)
        return;
    const bool permissionsOK = m_services.permissions->isGranted(platform::Permission::accessibility) &&
                               m_services.permissions->isGranted(platform::Permission::inputMonitoring);
    StatusGlyph glyph;
    if (!permissionsOK) {
        glyph = {true, GlyphTint::orange, secureInputActive,
                 "Kestrelix is off — grant Accessibility and Input Monitoring"};
    } else if (secureInputActive && status.secureInputStuck) {
        glyph = {false, GlyphTint::tertiaryLabel, true,
                 "Secure input is held on by a bug in another app — log out and back in to clear it"};
    } else if (secureInputActive) {
        glyph = {false, GlyphTint::tertiaryLabel, true, "Kestrelix is off here — this is a secure text field"};
    } else {
        switch (behavior.correctionMode()) {
        case CorrectionMode::automatic:
            glyph = {false, GlyphTint::none, false, "Kestrelix is on"};
            break;
        case CorrectionMode::ask:
            glyph = {false, GlyphTint::none, false, "Ask mode — Ctrl+Alt+K applies a suggested swap"};
            break;
        case CorrectionMode::manual:
            glyph = {false, GlyphTint::none, false, "Manual mode — Ctrl+Alt+K fixes the run you just typed"};
            break;
        }
    }
    statusItem->showGlyph(glyph);
}

void AppController::flash(const std::string& text)
{
    if (!statusItem)
        return;
    statusItem->showText(text);
    later(flashDuration, [this] { updateStatusGlyph(); });
}

}  // namespace kx
