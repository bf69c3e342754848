#pragma once
// The settings window's owner: one window for the process, made the first time the controller
// opens it and kept when closed, so reopening shows the same window with its state. Each opening
// selects the asked tab and brings the window to the front.

#include "controller/SettingsActions.h"
#include "ui/DrillSheet.h"
#include "ui/RootView.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

namespace kx {

class HistoryWindow : public QObject, public SettingsWindowPresenter {
    Q_OBJECT

public:
    static constexpr int contentWidth = 480;
    static constexpr int contentHeight = 600;

    /// The single instance; it holds no window until the first show().
    static HistoryWindow& shared();
    ~HistoryWindow() override;

    /// Makes the window from context on first use (later calls ignore context), selects tab, then
    /// shows, raises and activates the window.
    void show(const SettingsContext& context, RootView::Tab tab) override;

    /// Runs open, in which a show() shows the window without raising it or taking the keyboard
    /// focus: for a window that comes up by itself while the user may be typing elsewhere.
    void withoutTakingFocus(const std::function<void()>& open);

    /// Makes the drill sheet's view; set before the first show(). Without it the sheet is empty.
    DrillViewFactory makeDrillView;

    /// Null before the first show().
    QWidget* window() const { return m_window; }
    RootView::Model* root() const { return m_root.get(); }
    RootView* rootView() const { return m_view; }

private:
    std::unique_ptr<RootView::Model> m_root;
    // Deleted by hand, and only while the application object exists: this singleton may outlive
    // it at exit, and a widget must not go after it.
    QPointer<QWidget> m_window;
    RootView* m_view = nullptr;
    bool m_withoutFocus = false;
};

}  // namespace kx
