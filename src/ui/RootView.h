#pragma once
// The content of the settings window: a header with the logo, the name, the beta badge and the tab
// buttons; the status banner; and the selected tab's view, made anew each time its tab is chosen.
// History has a button only in troubleshooting mode, and leaving that mode leaves the tab.

#include "controller/SettingsActions.h"
#include "platform/Observable.h"
#include "ui/DrillSheet.h"

#include <QAbstractButton>
#include <QWidget>

#include <memory>
#include <vector>

class QScrollArea;
class QVBoxLayout;

namespace kx {

class StatusBanner;

class RootView : public QWidget {
    Q_OBJECT

public:
    using Tab = SettingsTab;

    /// The selected tab; kept by the window for its life, so reopening shows the last state.
    class Model {
    public:
        explicit Model(Tab tab) : m_tab(tab) {}
        Tab tab() const { return m_tab; }
        /// Announces only a change.
        void setTab(Tab tab);
        Signal<Tab> tabChanged;

    private:
        Tab m_tab;
    };

    /// One of the header's tab buttons: a symbol over its title, tinted while selected.
    class TabButton : public QAbstractButton {
    public:
        TabButton(const QString& title, const char* symbol, Tab tag, Model& model, QWidget* parent);
        bool isSelected() const { return m_model.tab() == m_tag; }
        QSize sizeHint() const override;
        /// The font of the title under the symbol.
        static QFont titleFont();

    protected:
        void paintEvent(QPaintEvent* event) override;
        void enterEvent(QEnterEvent* event) override;
        void leaveEvent(QEvent* event) override;

    private:
        const char* m_symbol;
        Tab m_tag;
        Model& m_model;
        bool m_hovering = false;
    };

    /// The least the window is made, where the screen has that much room; below it the banner
    /// and the tab scroll.
    static constexpr int minimumWidth = 460;
    static constexpr int minimumHeight = 520;

    /// model and everything in context must outlive the view.
    RootView(Model& model, const SettingsContext& context, DrillViewFactory makeDrillView, QWidget* parent = nullptr);

    /// The buttons shown, left to right.
    std::vector<TabButton*> visibleTabButtons() const;
    /// The selected tab's view.
    QWidget* currentView() const { return m_current; }
    /// The height the header, banner and tab ask for, all shown at once.
    int pageHeight() const;
    StatusBanner* banner() const { return m_banner; }
    /// The header's logo: the colour logo fitted into 40 x 31, or, when it is missing, a blue
    /// rounded square with a keyboard.
    static QPixmap logoPixmap(const QImage& logo, double dpr = 2.0);

private:
    void showTab(Tab tab);
    void troubleshootingChanged(bool on);

    Model& m_model;
    SettingsContext m_context;
    DrillViewFactory m_makeDrillView;
    std::vector<TabButton*> m_buttons;
    TabButton* m_historyButton = nullptr;
    StatusBanner* m_banner = nullptr;
    QVBoxLayout* m_layout;
    QScrollArea* m_bodyScroll = nullptr;
    QVBoxLayout* m_body = nullptr;  // the banner and the tab's view
    QWidget* m_current = nullptr;
    std::vector<std::unique_ptr<Subscription>> m_subscriptions;
};

}  // namespace kx
