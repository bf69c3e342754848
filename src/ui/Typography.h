#pragma once
// Text sizes of the settings window. Sizes are given in the logical pixels the layout is measured
// in (a 13 px body, 10 px captions), whatever point size the desktop's default font has.

#include <QFont>

namespace kx {

class Typography {
public:
    static constexpr double body = 13;
    static constexpr double headline = 13;
    static constexpr double callout = 12;
    static constexpr double subheadline = 11;
    static constexpr double caption = 10;
    static constexpr double title3 = 15;

    /// The desktop's font at size logical pixels, with weight.
    static QFont font(double size, QFont::Weight weight = QFont::Normal);
    /// The same in the rounded design where the desktop has one; the plain font otherwise.
    static QFont rounded(double size, QFont::Weight weight = QFont::Normal);
};

}  // namespace kx
