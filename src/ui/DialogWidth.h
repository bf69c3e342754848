#pragma once
// Dialogs as wide as their titles. A window manager cuts a title that does not fit between the
// title bar's icon and buttons ("Erase all…elix data?"), and a message box sizes itself by its
// text alone; these dialogs are made wide enough to show the whole title.

class QDialog;
class QString;

namespace kx {

class DialogWidth {
public:
    /// The width a dialog needs to show title in full: the title in a bold font, plus room for the
    /// title bar's icon and buttons.
    static int forTitle(const QString& title);
    /// Keeps dialog at least forTitle(its title) wide; a message box included.
    static void holdTitle(QDialog& dialog);
};

}  // namespace kx
