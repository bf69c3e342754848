#pragma once
// The sheet over the settings window that runs the typing drill: a title row with "Done" (or
// Escape, or Ctrl+W) over a fresh drill view. The drill view belongs to the onboarding module, which this one
// does not link, so whoever builds the window hands over a factory for it.

#include <QDialog>

#include <functional>

namespace kx {

class LayoutRegistry;

/// Makes a new drill view over the enabled layouts; the sheet takes ownership.
using DrillViewFactory = std::function<QWidget*(LayoutRegistry&)>;

class DrillSheet : public QDialog {
    Q_OBJECT

public:
    /// The usual size; the sheet is fitted to the screen (and to larger text) when it opens.
    static constexpr int sheetWidth = 540;
    static constexpr int sheetHeight = 580;

    /// Without a factory the sheet shows its title row only.
    DrillSheet(LayoutRegistry& registry, const DrillViewFactory& makeDrillView, QWidget* parent = nullptr);

    /// The drill view made for this opening; null without a factory.
    QWidget* drillView() const { return m_drillView; }

private:
    QWidget* m_drillView = nullptr;
};

}  // namespace kx
