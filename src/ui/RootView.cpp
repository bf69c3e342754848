#include "ui/RootView.h"

#include "stores/BehaviorPrefs.h"
#include "ui/AppsView.h"
#include "ui/Assets.h"
#include "ui/BetaBadge.h"
#include "ui/Divider.h"
#include "ui/FocusRing.h"
#include "ui/GeneralView.h"
#include "ui/HistoryView.h"
#include "ui/ScrollToFocus.h"
#include "ui/StatusBanner.h"
#include "ui/Symbols.h"
#include "ui/SystemColors.h"
#include "ui/Typography.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace kx {

namespace {
constexpr QSize logoSize(40, 31);
constexpr double symbolPixels = 17;
constexpr int titlePadding = 8;
constexpr int verticalPadding = 6;
}  // namespace

void RootView::Model::setTab(Tab tab)
{
    if (tab == m_tab)
        return;
    m_tab = tab;
    tabChanged.notify(tab);
}

RootView::TabButton::TabButton(const QString& title, const char* symbol, Tab tag, Model& model, QWidget* parent)
    : QAbstractButton(parent), m_symbol(symbol), m_tag(tag), m_model(model)
{
    setText(title);
    setFixedSize(sizeHint());
    setCursor(Qt::PointingHandCursor);
    connect(this, &QAbstractButton::clicked, this, [this] { m_model.setTab(m_tag); });
}

QFont RootView::TabButton::titleFont()
{
    return Typography::font(10.5, QFont::Medium);
}

QSize RootView::TabButton::sizeHint() const
{
    // 60 x 46 with the usual text; larger text widens and heightens the button around its title.
    const QFontMetrics metrics(titleFont());
    const int width = metrics.horizontalAdvance(text()) + 2 * titlePadding;
    const int height = qRound(Typography::scaled(symbolPixels)) + 3 + metrics.height() + 2 * verticalPadding;
    return QSize(std::max(60, width), std::max(46, height));
}

void RootView::TabButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool selected = isSelected();
    const QColor accent = SystemColors::blue();
    QColor background = Qt::transparent;
    if (selected)
        background = SystemColors::withAlpha(accent, 0.13);
    else if (m_hovering)
        background = SystemColors::withAlpha(SystemColors::label(this), 0.05);
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawRoundedRect(QRectF(rect()), 8, 8);

    const QColor foreground = selected ? accent : SystemColors::secondaryLabel(this);
    const QFont font = titleFont();
    const int titleHeight = QFontMetrics(font).height();
    const double symbolSide = Typography::scaled(symbolPixels);
    const double spacing = 3;
    const double top = (height() - symbolSide - spacing - titleHeight) / 2;
    Symbols::paint(painter, QRectF((width() - symbolSide) / 2, top, symbolSide, symbolSide), m_symbol, foreground);
    painter.setFont(font);
    painter.setPen(foreground);
    painter.drawText(QRectF(0, top + symbolSide + spacing, width(), titleHeight), Qt::AlignCenter, text());
    FocusRing::paint(painter, *this, rect(), 8);
}

void RootView::TabButton::enterEvent(QEnterEvent* event)
{
    m_hovering = true;
    update();
    QAbstractButton::enterEvent(event);
}

void RootView::TabButton::leaveEvent(QEvent* event)
{
    m_hovering = false;
    update();
    QAbstractButton::leaveEvent(event);
}

RootView::RootView(Model& model, const SettingsContext& context, DrillViewFactory makeDrillView, QWidget* parent)
    : QWidget(parent),
      m_model(model),
      m_context(context),
      m_makeDrillView(std::move(makeDrillView)),
      m_layout(new QVBoxLayout(this))
{
    setFont(Typography::font(Typography::body));
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);

    // The header, the banner and the tab are one page: where the window is shorter than they can
    // be (a small screen, large text, twice the scale), they scroll together, and none of them
    // keeps room the others need.
    const ScrollToFocus::Page body = ScrollToFocus::makePage(this);
    m_bodyScroll = body.area;
    QWidget* page = body.page;
    m_body = body.column;

    auto* header = new QHBoxLayout;
    header->setContentsMargins(16, 12, 16, 12);
    header->setSpacing(8);
    auto* logo = new QLabel(page);
    logo->setFixedSize(logoSize);
    logo->setPixmap(logoPixmap(Assets::logo()));
    header->addWidget(logo);
    auto* name = new QLabel(QStringLiteral("Kestrelix"), page);
    name->setFont(Typography::font(15, QFont::DemiBold));
    header->addWidget(name);
    header->addWidget(new BetaBadge(page));
    header->addStretch(1);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(2);
    m_buttons = {new TabButton(QStringLiteral("General"), "gearshape", Tab::general, model, page),
                 new TabButton(QStringLiteral("History"), "clock.arrow.circlepath", Tab::history, model, page),
                 new TabButton(QStringLiteral("Apps"), "square.grid.2x2", Tab::apps, model, page)};
    m_historyButton = m_buttons[1];
    for (TabButton* button : m_buttons)
        buttons->addWidget(button);
    header->addLayout(buttons);
    m_body->addLayout(header);
    m_body->addWidget(new Divider(page));
    // Made after the header, so Tab reaches its button after the tab buttons, as it shows.
    m_banner = new StatusBanner(*context.actions, *context.windows, page);
    m_body->addWidget(m_banner);
    m_layout->addWidget(m_bodyScroll, 1);

    m_historyButton->setVisible(context.behavior->troubleshooting());
    m_subscriptions.push_back(model.tabChanged.subscribe([this](Tab tab) { showTab(tab); }));
    m_subscriptions.push_back(
        context.behavior->troubleshootingChanged.subscribe([this](bool on) { troubleshootingChanged(on); }));
    showTab(model.tab());
}

std::vector<RootView::TabButton*> RootView::visibleTabButtons() const
{
    std::vector<TabButton*> shown;
    for (TabButton* button : m_buttons)
        if (!button->isHidden())
            shown.push_back(button);
    return shown;
}

int RootView::pageHeight() const
{
    return m_bodyScroll->widget()->sizeHint().height();
}

QPixmap RootView::logoPixmap(const QImage& logo, double dpr)
{
    QPixmap pixmap(qRound(logoSize.width() * dpr), qRound(logoSize.height() * dpr));
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF frame(QPointF(0, 0), QSizeF(logoSize));
    if (!logo.isNull()) {
        QSizeF fitted = QSizeF(logo.size()).scaled(frame.size(), Qt::KeepAspectRatio);
        painter.drawImage(
            QRectF(QPointF(frame.center().x() - fitted.width() / 2, frame.center().y() - fitted.height() / 2), fitted),
            logo);
        return pixmap;
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(SystemColors::blue());
    painter.drawRoundedRect(frame, 8, 8);
    Symbols::paint(painter, frame.adjusted(9, 6, -9, -6), "keyboard.fill", Qt::white);
    return pixmap;
}

void RootView::showTab(Tab tab)
{
    // The old view may be the one whose action led here; it goes once that action has returned.
    if (m_current) {
        m_body->removeWidget(m_current);
        m_current->hide();
        m_current->deleteLater();
    }
    const SettingsContext& c = m_context;
    switch (tab) {
    case Tab::general:
        m_current = new GeneralView(c, m_makeDrillView, this);
        break;
    case Tab::apps:
        m_current = new AppsView(*c.policy, *c.behavior, AppsListing::installedEntries(), this);
        break;
    case Tab::history:
        m_current = new HistoryView(
            *c.store, *c.behavior, [actions = c.actions] { return actions->reportText(); }, this);
        break;
    }
    m_body->addWidget(m_current, 1);
    // A new tab opens at its top.
    m_bodyScroll->verticalScrollBar()->setValue(0);
    for (TabButton* button : m_buttons)
        button->update();
}

void RootView::troubleshootingChanged(bool on)
{
    m_historyButton->setVisible(on);
    if (!on && m_model.tab() == Tab::history)
        m_model.setTab(Tab::general);
}

}  // namespace kx
