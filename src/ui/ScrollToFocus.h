#pragma once
// Keeps the control with the keyboard focus in view on a scrolled page. A scroll area scrolls to a
// control only when Tab moves between its own controls; Tab coming in from outside it (from the
// tab buttons onto a page scrolled down before) would land on a control out of sight.

class QScrollArea;
class QVBoxLayout;
class QWidget;

namespace kx {

class ScrollToFocus {
public:
    /// A page that scrolls where its window is shorter than it (a small screen, large text).
    struct Page {
        QScrollArea* area;
        QWidget* page;        // the area's widget, see-through
        QVBoxLayout* column;  // the page's layout, without margins or spacing
    };

    /// From now on, whenever a control on area's page takes the focus, area scrolls to show it.
    static void install(QScrollArea& area);
    /// A frameless scroll area under parent, itself no Tab stop, with an empty page that keeps the
    /// focused control in view.
    static Page makePage(QWidget* parent);
};

}  // namespace kx
