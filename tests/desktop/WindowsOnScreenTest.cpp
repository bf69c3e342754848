// The program's windows on a real X server with a window manager, at the scale and text size the
// desktop asks for (ctest runs this suite at QT_SCALE_FACTOR 1 and 2, QT_FONT_DPI 96 and 144): each
// window's frame lies inside the screen's available area, no text is wider or taller than its box,
// Tab walks every control in reading order with a visible focus mark, and Escape and Ctrl+W close
// the window. With KX_UI_SHOTS set, a picture of each window with its frame is kept there.

// First: the stores' signal header must come before Qt defines its keyword macros.
#include "ui/SettingsTestSupport.h"

#include "DesktopSession.h"
#include "controller/PageOpener.h"
#include "onboarding/DrillView.h"
#include "onboarding/SetupWindow.h"
#include "onboarding/WalkthroughStage.h"
#include "onboarding/WalkthroughWindow.h"
#include "platform/EventPoster.h"
#include "platform/sim/SimPermissions.h"
#include "platform/x11/QtMainQueue.h"
#include "ui/DrillSheet.h"
#include "ui/FormSection.h"
#include "ui/GeneralView.h"
#include "ui/HistoryWindow.h"
#include "ui/MiniToggle.h"
#include "ui/ModeSelectorRow.h"
#include "ui/RootView.h"
#include "ui/SwitchButton.h"
#include "ui/TrayStatusItem.h"

#include <QAbstractScrollArea>
#include <QActionGroup>
#include <QComboBox>
#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>

namespace kx::test {
namespace {

/// What a widget is, for a failure message: its class and its text.
std::string describe(const QWidget* widget)
{
    QString text;
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        text = label->text();
    else if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        text = button->text().isEmpty() ? button->accessibleName() : button->text();
    else if (const auto* combo = qobject_cast<const QComboBox*>(widget))
        text = combo->currentText();
    return std::string(widget->metaObject()->className()) + " \"" + text.left(40).toStdString() + "\"";
}

std::string describe(const QRect& r)
{
    std::ostringstream out;
    out << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
    return out.str();
}

/// Whether the widget is the viewport of a scroll area, whose content may run past it up and down.
bool isViewport(const QWidget* widget)
{
    const auto* area = qobject_cast<const QAbstractScrollArea*>(widget->parentWidget());
    return area && area->viewport() == widget;
}

/// The texts and controls of window that do not fit their boxes, or stick out of a box around them.
std::vector<std::string> cutOff(QWidget& window)
{
    std::vector<std::string> found;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (!widget->isVisible() || widget->isWindow())
            continue;
        const QSize size = widget->size();
        if (const auto* label = qobject_cast<QLabel*>(widget); label && !label->text().isEmpty()) {
            const bool fits = label->wordWrap() ? size.height() >= label->heightForWidth(size.width())
                                                : size.width() >= label->minimumSizeHint().width() &&
                                                      size.height() >= label->minimumSizeHint().height();
            if (!fits)
                found.push_back(describe(label) + " needs " + describe(QRect({}, label->minimumSizeHint())) + ", has " +
                                describe(widget->rect()));
        } else if ((qobject_cast<QAbstractButton*>(widget) &&
                    !static_cast<QAbstractButton*>(widget)->text().isEmpty()) ||
                   qobject_cast<QComboBox*>(widget)) {
            const QSize needed = qobject_cast<QComboBox*>(widget) ? widget->minimumSizeHint() : widget->sizeHint();
            if (size.width() < needed.width() || size.height() < needed.height())
                found.push_back(describe(widget) + " needs " + describe(QRect({}, needed)) + ", has " +
                                describe(widget->rect()));
        } else if (const QSize least = widget->minimumSizeHint();
                   least.isValid() && !qobject_cast<QAbstractScrollArea*>(widget) &&
                   !qobject_cast<QAbstractButton*>(widget) &&
                   (size.width() < least.width() || size.height() < least.height())) {
            // Squeezed under the least its layout or its painting needs.
            found.push_back(describe(widget) + " needs at least " + describe(QRect({}, least)) + ", has " +
                            describe(widget->rect()));
        }
        // Inside every box around it; on a scrolled page it may run past the bottom or top.
        bool scrolled = false;
        for (QWidget* outer = widget->parentWidget(); outer && outer != window.parentWidget();
             outer = outer->parentWidget()) {
            const QRect r(widget->mapTo(outer, QPoint(0, 0)), size);
            const QRect box = outer->rect().adjusted(-1, -1, 1, 1);
            scrolled = scrolled || isViewport(outer);
            const bool inside = scrolled ? r.left() >= box.left() && r.right() <= box.right() : box.contains(r);
            if (!inside) {
                found.push_back(describe(widget) + " at " + describe(r) + " sticks out of " + describe(outer) + " " +
                                describe(outer->rect()));
                break;
            }
            if (outer->isWindow())
                break;
        }
    }
    return found;
}

/// Presses and releases keysym with the given modifier keysyms held, as a user does.
void press(Display* display, KeySym keysym, std::initializer_list<KeySym> modifiers = {})
{
    for (KeySym modifier : modifiers)
        XTestFakeKeyEvent(display, XKeysymToKeycode(display, modifier), True, CurrentTime);
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, keysym), True, CurrentTime);
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, keysym), False, CurrentTime);
    for (KeySym modifier : modifiers)
        XTestFakeKeyEvent(display, XKeysymToKeycode(display, modifier), False, CurrentTime);
    XSync(display, False);
}

/// How many pixels of a and b (of one size) differ clearly in some colour channel.
int clearlyDifferent(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return a.width() * a.height();
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QColor p = a.pixelColor(x, y);
            const QColor q = b.pixelColor(x, y);
            const int difference =
                std::max({std::abs(p.red() - q.red()), std::abs(p.green() - q.green()), std::abs(p.blue() - q.blue())});
            count += difference >= 64;
        }
    return count;
}

/// A step of the Tab walk: the widget it reached and where that showed, and where the widget it
/// left was at that moment (the page may have scrolled in between).
struct Stop {
    QWidget* widget;
    QRect at;
    QRect previousAt;
};

bool sameRow(const QRect& a, const QRect& b)
{
    return (a.center().y() >= b.top() && a.center().y() <= b.bottom()) ||
           (b.center().y() >= a.top() && b.center().y() <= a.bottom());
}

/// The controls of window that take the focus by Tab.
std::set<QWidget*> tabControls(QWidget& window)
{
    std::set<QWidget*> controls;
    for (QWidget* widget : window.findChildren<QWidget*>())
        if (widget->isVisible() && widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus) &&
            !widget->focusProxy() && widget->window() == &window)
            controls.insert(widget);
    return controls;
}

class WindowsOnScreenTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!DesktopSession::shared().ready())
            GTEST_SKIP() << DesktopSession::shared().why();
        m_display = XOpenDisplay(DesktopSession::shared().display().c_str());
        ASSERT_TRUE(m_display);
    }

    void TearDown() override
    {
        if (m_display)
            XCloseDisplay(m_display);
    }

    /// This run's setting, for the pictures' names.
    static std::string setting()
    {
        const char* scale = std::getenv("QT_SCALE_FACTOR");
        const char* dpi = std::getenv("QT_FONT_DPI");
        const char* screen = std::getenv("KX_TEST_SCREEN");
        return std::string("scale") + (scale ? scale : "1") + "-dpi" + (dpi ? dpi : "96") +
               (screen ? std::string("-") + screen : "");
    }

    /// Waits for window to show framed by the window manager and to be the active window.
    static ::testing::AssertionResult shownAndActive(QWidget& window)
    {
        const auto ready = [&] {
            window.activateWindow();
            return window.isVisible() && window.frameGeometry() != window.geometry() &&
                   QApplication::activeWindow() == &window;
        };
        for (int attempt = 0; attempt < 5; ++attempt) {
            if (DesktopSession::waitFor(ready, 2))
                return ::testing::AssertionSuccess();
            // A window mapped while the window manager was still starting is never framed; mapped
            // again, it is.
            window.hide();
            window.show();
        }
        return ::testing::AssertionFailure()
               << "visible " << window.isVisible() << ", frame " << describe(window.frameGeometry()) << ", geometry "
               << describe(window.geometry()) << ", active "
               << (QApplication::activeWindow() ? describe(QApplication::activeWindow()) : "none");
    }

    /// Keeps a picture of the screen under rect when KX_UI_SHOTS names a folder.
    static void picture(const QRect& rect, const std::string& name)
    {
        const char* folder = std::getenv("KX_UI_SHOTS");
        if (!folder)
            return;
        DesktopSession::waitFor([] { return false; }, 0.3);
        std::filesystem::create_directories(folder);
        const QPixmap shot =
            QGuiApplication::primaryScreen()->grabWindow(0, rect.x(), rect.y(), rect.width(), rect.height());
        shot.save(QString::fromStdString((std::filesystem::path(folder) / (name + "-" + setting() + ".png")).string()));
    }

    /// The frame inside the available area, and every text and control whole.
    static void expectFitsTheScreen(QWidget& window, const std::string& name)
    {
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        EXPECT_TRUE(available.contains(window.frameGeometry()))
            << name << ": frame " << describe(window.frameGeometry()) << " outside " << describe(available);
        for (const std::string& problem : cutOff(window))
            ADD_FAILURE() << name << ": " << problem;
        picture(window.frameGeometry(), name);
    }

    /// The scroll areas of window that have more to show than their view.
    static std::vector<QScrollArea*> scrolling(QWidget& window)
    {
        std::vector<QScrollArea*> found;
        for (QScrollArea* area : window.findChildren<QScrollArea*>())
            if (area->isVisible() && area->verticalScrollBar()->maximum() > 0)
                found.push_back(area);
        return found;
    }

    /// Where window's page scrolls, it scrolls as one, in a view of at least half the window:
    /// no page in a page, and the headers, tiles and footers that stay put leave the page room for
    /// more than a section or two.
    static void expectScrollingHasTheRoom(QWidget& window, const std::string& name)
    {
        const std::vector<QScrollArea*> areas = scrolling(window);
        EXPECT_LE(areas.size(), 1u) << name << ": " << areas.size() << " scroll areas scroll, one inside the other";
        for (QScrollArea* area : areas)
            EXPECT_GE(area->viewport()->height(), window.height() / 2)
                << name << ": only " << area->viewport()->height() << " of " << window.height()
                << " scroll; the rest stays put";
    }

    /// Nothing of widget is scrolled away or cut by the window.
    static ::testing::AssertionResult whole(const QWidget& widget)
    {
        const QRect seen = widget.visibleRegion().boundingRect();
        if (widget.isVisible() && seen == widget.rect())
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << describe(&widget) << " shows " << describe(seen) << " of " << describe(widget.rect());
    }

    /// Walks the focus with Tab round the window: the stops go top to bottom and left to right on a
    /// row (but for the one step from the last back to the first), every control is among them,
    /// and each shows its focus.
    void expectTabWalksInReadingOrder(QWidget& window, const std::string& name)
    {
        const auto current = [&] { return QApplication::focusWidget(); };
        const auto where = [&](QWidget* widget) { return QRect(widget->mapTo(&window, QPoint(0, 0)), widget->size()); };
        // What the user sees of a control: its place in the window, with a ring drawn around it.
        const auto look = [&](QWidget* widget) { return window.grab(where(widget).adjusted(-3, -3, 3, 3)).toImage(); };
        // The first press makes the focus a keyboard focus, wherever the window put it.
        QWidget* opened = current();
        press(m_display, XK_Tab);
        DesktopSession::waitFor([&] { return current() && current() != opened && current()->window() == &window; }, 2);
        QWidget* first = current();
        ASSERT_TRUE(first && first->window() == &window) << name << ": no control takes the focus";
        std::vector<Stop> stops;
        bool closed = false;
        while (!closed && stops.size() < 60) {
            QWidget* here = current();
            const QImage focused = look(here);
            press(m_display, XK_Tab);
            DesktopSession::waitFor([&] { return current() != here; }, 2);
            QWidget* next = current();
            ASSERT_TRUE(next && next->window() == &window) << name << ": Tab leaves the window";
            // The focus mark goes with the focus: the control looks different without it.
            if (next != here) {
                // A ring round the control, or round the part of it the keyboard is on.
                EXPECT_GE(clearlyDifferent(focused, look(here)), std::min(here->width() + here->height(), 200))
                    << name << ": no visible focus on " << describe(here);
            }
            // Both measured now, as the page is scrolled to show the new one.
            stops.push_back({next, where(next), where(here)});
            closed = next == first;
        }
        int backwards = 0;
        for (const Stop& stop : stops) {
            const bool inOrder = sameRow(stop.previousAt, stop.at)
                                     ? stop.at.left() > stop.previousAt.left()
                                     : stop.at.center().y() > stop.previousAt.center().y();
            if (!inOrder && ++backwards > 1)
                ADD_FAILURE() << name << ": Tab goes back up to " << describe(stop.widget) << " at "
                              << describe(stop.at) << " from " << describe(stop.previousAt);
        }
        std::set<QWidget*> reached;
        for (const Stop& stop : stops) {
            reached.insert(stop.widget);
            const bool control = !qobject_cast<QAbstractScrollArea*>(stop.widget) ||
                                 qobject_cast<QTextEdit*>(stop.widget) || qobject_cast<QPlainTextEdit*>(stop.widget);
            EXPECT_TRUE(control) << name << ": Tab stops on " << describe(stop.widget) << ", which is no control";
        }
        for (QWidget* control : tabControls(window))
            EXPECT_TRUE(reached.contains(control)) << name << ": Tab never reaches " << describe(control);
    }

    /// Escape closes the window; shown again, so does Ctrl+W.
    void expectClosesOnKeys(QWidget& window, const std::function<void()>& show, const std::string& name)
    {
        ASSERT_TRUE(shownAndActive(window)) << name;
        press(m_display, XK_Escape);
        EXPECT_TRUE(DesktopSession::waitFor([&] { return !window.isVisible(); }, 5)) << name << ": Escape";
        show();
        ASSERT_TRUE(shownAndActive(window)) << name;
        press(m_display, XK_w, {XK_Control_L});
        EXPECT_TRUE(DesktopSession::waitFor([&] { return !window.isVisible(); }, 5)) << name << ": Ctrl+W";
    }

    Display* m_display = nullptr;
};

class SilentPoster final : public platform::EventPoster {
public:
    bool post(const platform::SyntheticKey&) override { return true; }
};

// The settings window on each tab, troubleshooting on and the setup banner showing (the most it
// ever holds), then the drill sheet over it.
TEST_F(WindowsOnScreenTest, SettingsWindow)
{
    SettingsBench bench;
    platform::x11::QtMainQueue queue;
    SilentPoster poster;
    bench.behavior.setTroubleshooting(true);
    bench.actions.publish({.permissionsOK = false});
    bench.store.add(bench.correction("ahkun", "שלום", 0));
    bench.store.add(bench.correction("vnk,v", "מלכה", 1));
    HistoryWindow& owner = HistoryWindow::shared();
    owner.makeDrillView = [&](LayoutRegistry& registry) -> QWidget* {
        return new DrillView(registry, Drill::Services{.main = &queue,
                                                       .poster = &poster,
                                                       .inputSources = &bench.inputSources,
                                                       .history = &bench.store});
    };
    const auto open = [&](RootView::Tab tab) { owner.show(bench.context(), tab); };
    open(RootView::Tab::general);
    QWidget& window = *owner.window();
    ASSERT_TRUE(shownAndActive(window));
    settle();
    // It opens at the top of its page, as tall as the page where the screen has room, and with the
    // first section whole wherever the window can hold everything down to it.
    const auto* first = qobject_cast<GeneralView*>(owner.rootView()->currentView())->findChild<FormSection*>();
    ASSERT_NE(first, nullptr);
    auto* page = owner.rootView()->findChild<QScrollArea*>();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->verticalScrollBar()->value(), 0);
    if (first->mapTo(page->widget(), QPoint(0, first->height())).y() <= page->viewport()->height()) {
        EXPECT_TRUE(whole(*first)) << "the first section";
    }
    const int room = QGuiApplication::primaryScreen()->availableGeometry().height();
    EXPECT_TRUE(scrolling(window).empty() || window.frameGeometry().height() >= room - 48)
        << "opens " << window.frameGeometry().height() << " high on a screen with " << room
        << ", cutting the page off (" << page->verticalScrollBar()->maximum() << " more, asks for "
        << page->widget()->sizeHint().height() << ")";
    for (const auto& [tab, name] :
         {std::pair{RootView::Tab::general, "settings-general"}, std::pair{RootView::Tab::history, "settings-history"},
          std::pair{RootView::Tab::apps, "settings-apps"}}) {
        open(tab);
        ASSERT_TRUE(shownAndActive(window));
        settle();
        expectFitsTheScreen(window, name);
        expectScrollingHasTheRoom(window, name);
        for (RootView::TabButton* button : owner.rootView()->visibleTabButtons())
            EXPECT_GE(button->width(), QFontMetrics(RootView::TabButton::titleFont()).horizontalAdvance(button->text()))
                << name << ": the title spills out of " << describe(button);
        expectTabWalksInReadingOrder(window, name);
    }

    open(RootView::Tab::general);
    auto* general = qobject_cast<GeneralView*>(owner.rootView()->currentView());
    ASSERT_NE(general, nullptr);
    const ModeSelectorRow& picker = *general->modePicker();
    for (int i = 0; i < 3; ++i)
        EXPECT_GE(picker.segmentRect(i).width(),
                  QFontMetricsF(ModeSelectorRow::titleFont(true))
                      .horizontalAdvance(ModeSelectorRow::title(ModeSelectorRow::modes[i])))
            << "the mode selector's title is wider than its segment";

    buttonNamed(*general, QString::fromUtf8("Open Drill…"))->click();
    ASSERT_TRUE(DesktopSession::waitFor([&] { return general->drillSheet() != nullptr; }, 5));
    QWidget& sheet = *general->drillSheet();
    ASSERT_TRUE(shownAndActive(sheet));
    expectFitsTheScreen(sheet, "drill-sheet");
    expectTabWalksInReadingOrder(sheet, "drill-sheet");
    press(m_display, XK_w, {XK_Control_L});
    EXPECT_TRUE(DesktopSession::waitFor([&] { return general->drillSheet() == nullptr; }, 5)) << "Ctrl+W";

    // The password prompt of troubleshooting mode: whole, and gone with Escape.
    general->troubleshootingSwitch()->click();
    general->troubleshootingSwitch()->click();
    QDialog* prompt = nullptr;
    ASSERT_TRUE(DesktopSession::waitFor(
        [&] { return (prompt = shownDialog<QDialog>(QStringLiteral("troubleshootingPassword"))) != nullptr; }, 5));
    ASSERT_TRUE(shownAndActive(*prompt));
    expectFitsTheScreen(*prompt, "password-prompt");
    press(m_display, XK_Escape);
    EXPECT_TRUE(
        DesktopSession::waitFor([&] { return !shownDialog<QDialog>(QStringLiteral("troubleshootingPassword")); }, 5));

    // An open drop-down takes Escape for itself: the list closes and the window stays.
    bench.sound.setEnabled(true);
    QComboBox& sounds = *general->soundPicker();
    ASSERT_TRUE(shownAndActive(window));
    sounds.setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(DesktopSession::waitFor([&] { return sounds.hasFocus(); }, 5));
    press(m_display, XK_Down, {XK_Alt_L});
    ASSERT_TRUE(DesktopSession::waitFor([] { return QApplication::activePopupWidget() != nullptr; }, 5));
    picture(window.frameGeometry().united(QApplication::activePopupWidget()->geometry()), "settings-sound-list");
    press(m_display, XK_Escape);
    EXPECT_TRUE(DesktopSession::waitFor([] { return QApplication::activePopupWidget() == nullptr; }, 5));
    EXPECT_FALSE(DesktopSession::waitFor([&] { return !window.isVisible(); }, 1))
        << "Escape on the open drop-down closed the settings window";

    expectClosesOnKeys(
        window, [&] { open(RootView::Tab::general); }, "settings");
}

// The setup window, waiting for both permissions, then with both granted.
TEST_F(WindowsOnScreenTest, SetupWindow)
{
    platform::x11::QtMainQueue queue;
    sim::SimPermissions permissions;
    permissions.accessibility = false;
    permissions.inputMonitoring = false;
    RecordingWorkspace workspace;
    StringPasteboard pasteboard;
    PageOpener pages(workspace, pasteboard, nullptr);
    SetupWindow setup(queue, permissions, pages);
    setup.show();
    QWidget& window = *setup.window();
    ASSERT_TRUE(shownAndActive(window));
    expectFitsTheScreen(window, "setup-waiting");
    expectScrollingHasTheRoom(window, "setup-waiting");
    expectTabWalksInReadingOrder(window, "setup-waiting");
    permissions.accessibility = true;
    permissions.inputMonitoring = true;
    ASSERT_TRUE(DesktopSession::waitFor([&] { return buttonNamed(window, "Done")->isVisible(); }, 5));
    expectFitsTheScreen(window, "setup");
    expectTabWalksInReadingOrder(window, "setup");
    expectClosesOnKeys(
        window, [&] { setup.show(); }, "setup");
}

// The walkthrough, on its first step and on the permissions step.
TEST_F(WindowsOnScreenTest, Walkthrough)
{
    platform::x11::QtMainQueue queue;
    sim::SimPermissions permissions;
    RecordingWorkspace workspace;
    StringPasteboard pasteboard;
    PageOpener pages(workspace, pasteboard, nullptr);
    MemoryDefaults defaults;
    WalkthroughWindow walkthrough(queue, permissions, pages, defaults);
    walkthrough.show();
    QWidget& window = *walkthrough.window();
    ASSERT_TRUE(shownAndActive(window));
    expectFitsTheScreen(window, "walkthrough");
    expectTabWalksInReadingOrder(window, "walkthrough");

    // The mode buttons drawn on the stage answer the arrow keys and Space.
    auto* stage = window.findChild<WalkthroughStage*>();
    ASSERT_NE(stage, nullptr);
    stage->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(DesktopSession::waitFor([&] { return stage->hasFocus(); }, 5));
    press(m_display, XK_Right);
    press(m_display, XK_space);
    EXPECT_TRUE(DesktopSession::waitFor([&] { return walkthrough.model().state().step == WalkStep::ask; }, 5));

    // Each step's caption in view, whole, however far its stage has to scroll.
    auto* caption = window.findChild<QLabel*>(QStringLiteral("caption"));
    ASSERT_NE(caption, nullptr);
    for (const WalkStep step :
         {WalkStep::automatic, WalkStep::ask, WalkStep::manual, WalkStep::secure, WalkStep::permissions}) {
        walkthrough.model().go(step);
        settle();
        EXPECT_FALSE(caption->text().isEmpty());
        EXPECT_TRUE(whole(*caption)) << "the caption of step " << int(step);
        expectScrollingHasTheRoom(window, "walkthrough");
    }
    expectFitsTheScreen(window, "walkthrough-permissions");
    expectClosesOnKeys(
        window, [&] { walkthrough.show(); }, "walkthrough");
}

// The tray menu: inside the screen, its mode selector reached by the arrow keys and switched with
// Right, and the layouts offered as radio items.
TEST_F(WindowsOnScreenTest, TrayMenu)
{
    TrayStatusItem tray;
    tray.setMenu(StatusMenu::build(
        {.accessibility = true,
         .inputMonitoring = true,
         .layouts = {{"us", "English (US)", "en", true}, {"il", "Hebrew", "he", true}},
         .currentLayoutID = "us",
         .frontApp = StatusMenuState::FrontApp{.id = "org.gnome.TextEditor", .name = "Text Editor"}}));
    std::optional<CorrectionMode> chosen;
    tray.onCommand = [&](const MenuCommand& command) { chosen = command.mode; };
    QMenu& menu = tray.menu();
    menu.popup({200, 200});
    ASSERT_TRUE(DesktopSession::waitFor([&] { return menu.isVisible(); }, 5));
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(available.contains(menu.geometry())) << describe(menu.geometry());
    for (const std::string& problem : cutOff(menu))
        ADD_FAILURE() << "menu: " << problem;
    picture(menu.geometry(), "tray-menu");

    ModeSelectorRow* row = menu.findChild<ModeSelectorRow*>();
    ASSERT_NE(row, nullptr);
    for (int i = 0; i < 12 && !row->hasFocus(); ++i) {
        press(m_display, XK_Down);
        DesktopSession::waitFor([&] { return row->hasFocus(); }, 0.3);
    }
    ASSERT_TRUE(row->hasFocus()) << "the arrow keys never reach the mode selector";
    picture(menu.geometry(), "tray-menu-keyboard");
    press(m_display, XK_Right);
    ASSERT_TRUE(DesktopSession::waitFor([&] { return chosen.has_value(); }, 5));
    EXPECT_EQ(*chosen, CorrectionMode::ask);
    EXPECT_TRUE(menu.isVisible()) << "choosing a mode keeps the menu open";

    // Further down, the application's switch: reached by the arrow keys too, and flipped by Space.
    auto* toggle = menu.findChild<MiniToggle*>();
    ASSERT_NE(toggle, nullptr);
    for (int i = 0; i < 12 && !toggle->hasFocus(); ++i) {
        press(m_display, XK_Down);
        DesktopSession::waitFor([&] { return toggle->hasFocus(); }, 0.3);
    }
    ASSERT_TRUE(toggle->hasFocus()) << "the arrow keys never reach the application's switch";
    press(m_display, XK_space);
    EXPECT_TRUE(DesktopSession::waitFor([&] { return !toggle->isOn(); }, 5));
    EXPECT_TRUE(menu.isVisible()) << "the switch keeps the menu open";

    std::vector<QAction*> layouts;
    for (QAction* action : menu.actions())
        if (action->text().startsWith("English") || action->text().startsWith("Hebrew"))
            layouts.push_back(action);
    ASSERT_EQ(layouts.size(), 2u);
    for (QAction* action : layouts) {
        ASSERT_NE(action->actionGroup(), nullptr) << action->text().toStdString();
        EXPECT_TRUE(action->actionGroup()->isExclusive()) << "a radio item: " << action->text().toStdString();
        EXPECT_EQ(action->actionGroup(), layouts.front()->actionGroup());
    }
    menu.hide();
}

}  // namespace
}  // namespace kx::test
