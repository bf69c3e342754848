#pragma once
// Keeps the control with the keyboard focus in view on a scrolled page. A scroll area scrolls to a
// control only when Tab moves between its own controls; Tab coming in from outside it (from the
// tab buttons onto a page scrolled down before) would land on a control out of sight.

class QScrollArea;

namespace kx {

class ScrollToFocus {
public:
    /// From now on, whenever a control on area's page takes the focus, area scrolls to show it.
    static void install(QScrollArea& area);
};

}  // namespace kx
