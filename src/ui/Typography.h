#pragma once
// Text sizes of the program's windows and menu rows. Sizes are given on a scale where the body text
// is 13 (a 13 px body, 10 px captions); each is drawn in proportion to the desktop's own font, so a
// user who chose larger text, or a larger font resolution, gets larger text here too.

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

    /// The desktop's font at size (on the scale above), with weight.
    static QFont font(double size, QFont::Weight weight = QFont::Normal);
    /// The same in the rounded design where the desktop has one; the plain font otherwise.
    static QFont rounded(double size, QFont::Weight weight = QFont::Normal);
    /// A length of a hand-drawn control given for a 13 px body (a switch's 22 px height), in
    /// proportion to the body text as drawn now; never less than length itself.
    static double scaled(double length);
};

}  // namespace kx
