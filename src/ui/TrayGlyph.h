#pragma once
// The tray icon's picture: the keyboard glyph centred in a square, drawn so that it reads on the
// panel behind it. Panels differ (most are dark, some light, some recolour nothing), so the glyph
// takes the ink that stands out against the panel where that is known; where it is not (a
// StatusNotifierItem host draws the icon itself and never says on what), the ink is light and
// carries a thin dark outline, which keeps its shape visible on a light panel too. A tint that
// does not stand out from the panel (orange on a light one) is outlined as well.

#include "controller/StatusItemView.h"

#include <QColor>
#include <QIcon>
#include <QImage>

#include <optional>

namespace kx {

class TrayGlyph {
public:
    /// The square sides the icon is drawn at, so that each tray size gets pixels of its own
    /// rather than a blurred scaling of one large image.
    static constexpr int sides[] = {16, 22, 24, 32, 44, 48, 64};

    /// The ink for a panel of colour background: light or dark, whichever contrasts more; light
    /// when the background is unknown, as most panels are dark.
    static QColor ink(std::optional<QColor> background);
    /// The contrast ratio of two opaque colours by their relative luminance, from 1 to 21.
    static double contrast(const QColor& a, const QColor& b);
    /// The panel's colour around an icon, from a grab of the icon's slot: the median of its top
    /// and bottom rows, which the glyph never covers. None for an empty grab.
    static std::optional<QColor> background(const QImage& slot);

    /// The glyph as glyph asks for it (tint, slash, dimmed) on a panel of colour background, or
    /// outlined for any panel when that is unknown or the tint too close to it; side pixels
    /// square, drawn from source (the monochrome image); null when source is.
    static QImage render(const QImage& source, const StatusGlyph& glyph, std::optional<QColor> background, int side);
    /// The same at every side of sides; a null icon when source is null.
    static QIcon icon(const QImage& source, const StatusGlyph& glyph, std::optional<QColor> background);
};

}  // namespace kx
