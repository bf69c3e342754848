#include "ui/AppsView.h"

#include "stores/BehaviorPrefs.h"
#include "ui/AppIconCache.h"
#include "ui/EmptyState.h"
#include "ui/FormSection.h"
#include "ui/LockMark.h"
#include "ui/MiniToggle.h"
#include "ui/ScrollToFocus.h"
#include "ui/Symbols.h"
#include "ui/SystemColors.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

namespace kx {

namespace {

constexpr int iconSide = 28;

QPixmap appIcon(const std::string& appID, bool dimmed)
{
    const double dpr = 2.0;
    QPixmap pixmap(qRound(iconSide * dpr), qRound(iconSide * dpr));
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setOpacity(dimmed ? 0.5 : 1.0);
    AppIconCache::icon(appID).paint(&painter, QRect(0, 0, iconSide, iconSide));
    return pixmap;
}

}  // namespace

AppsView::AppsView(PolicyStore& policy, BehaviorPrefs& behavior, AppsListing::EntryLookup entries, QWidget* parent)
    : QWidget(parent),
      m_policy(policy),
      m_behavior(behavior),
      m_entries(std::move(entries)),
      m_layout(new QVBoxLayout(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_subscription = behavior.troubleshootingChanged.subscribe([this](bool on) {
        for (QLabel* label : findChildren<QLabel*>(QStringLiteral("subtitle")))
            label->setVisible(on);
    });
    load();
}

std::vector<AppInfo> AppsView::controllable() const
{
    std::vector<AppInfo> result;
    for (const ListedApp& listed : m_apps)
        if (!listed.app.hardDenied)
            result.push_back(listed.app);
    return result;
}

std::vector<AppInfo> AppsView::locked() const
{
    std::vector<AppInfo> result;
    for (const ListedApp& listed : m_apps)
        if (listed.app.hardDenied)
            result.push_back(listed.app);
    return result;
}

MiniToggle* AppsView::toggle(const std::string& appID) const
{
    return m_content ? m_content->findChild<MiniToggle*>(QString::fromStdString(appID)) : nullptr;
}

QString AppsView::subtitle(const std::string& appID) const
{
    if (!m_content)
        return {};
    auto* rowWidget = m_content->findChild<QWidget*>(QStringLiteral("row:") + QString::fromStdString(appID));
    if (!rowWidget)
        return {};
    auto* label = rowWidget->findChild<QLabel*>(QStringLiteral("subtitle"));
    return label && !label->isHidden() ? label->text() : QString();
}

QString AppsView::subtitleFor(const AppInfo& app)
{
    if (app.hardDenied)
        return QString::fromUtf8("terminal / remote — can't be enabled");
    return app.usesClipboard ? QStringLiteral("inserts via paste") : QStringLiteral("inserts via keystrokes");
}

void AppsView::load()
{
    m_apps = AppsListing::build(m_policy.knownApps(), m_policy.appsThatRan(), m_entries);
    rebuild();
}

void AppsView::setEnabled(bool on, const std::vector<std::string>& ids)
{
    for (const std::string& id : ids)
        m_policy.setEnabled(on, id);
    // The switch that called is inside the list being replaced; replace it once its click is over.
    QMetaObject::invokeMethod(
        this, [this] { load(); }, Qt::QueuedConnection);
}

QWidget* AppsView::row(const ListedApp& listed, QWidget* trailing)
{
    const AppInfo& app = listed.app;
    auto* rowWidget = new QWidget;
    rowWidget->setObjectName(QStringLiteral("row:") + QString::fromStdString(app.id));
    auto* layout = new QHBoxLayout(rowWidget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    auto* icon = new QLabel(rowWidget);
    icon->setFixedSize(iconSide, iconSide);
    icon->setPixmap(appIcon(listed.iconID, app.hardDenied));
    layout->addWidget(icon);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    auto* name = new QLabel(QString::fromStdString(app.name), rowWidget);
    // The name comes from the application itself: shown as it is, never read as markup.
    name->setTextFormat(Qt::PlainText);
    texts->addWidget(name);
    auto* subtitle = new QLabel(subtitleFor(app), rowWidget);
    subtitle->setObjectName(QStringLiteral("subtitle"));
    subtitle->setFont(FormSection::captionFont());
    QPalette palette = subtitle->palette();
    palette.setColor(QPalette::WindowText, SystemColors::secondaryLabel(this));
    subtitle->setPalette(palette);
    subtitle->setVisible(m_behavior.troubleshooting());
    texts->addWidget(subtitle);
    layout->addLayout(texts);
    layout->addStretch(1);
    trailing->setParent(rowWidget);
    layout->addWidget(trailing);
    return rowWidget;
}

void AppsView::rebuild()
{
    if (m_content) {
        m_layout->removeWidget(m_content);
        delete m_content;
        m_locked = nullptr;
    }
    if (m_apps.empty()) {
        m_content = new EmptyState("app.dashed", QStringLiteral("No apps yet"),
                                   QStringLiteral("Apps appear here once Kestrelix has run in them."), this);
        m_layout->addWidget(m_content);
        return;
    }

    auto* scroll = new QScrollArea(this);
    // Tab goes from control to control, scrolling each into view; the list itself is no stop.
    scroll->setFocusPolicy(Qt::NoFocus);
    ScrollToFocus::install(*scroll);

    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* list = new QWidget;
    auto* sections = new QVBoxLayout(list);
    sections->setContentsMargins(16, 14, 16, 16);
    sections->setSpacing(18);

    auto* controlled = new FormSection(QStringLiteral("You control these"));
    for (const ListedApp& listed : m_apps) {
        if (listed.app.hardDenied)
            continue;
        auto* toggle = new MiniToggle(listed.app.enabled);
        toggle->setObjectName(QString::fromStdString(listed.app.id));
        toggle->onChange = [this, ids = listed.ids](bool on) { setEnabled(on, ids); };
        controlled->addRow(row(listed, toggle));
    }
    // While every listed application is locked the section would be an empty box: say why.
    if (controllable().empty()) {
        auto* none = new QLabel(QStringLiteral("Apps appear here once Kestrelix has run in them."));
        none->setFont(FormSection::captionFont());
        none->setWordWrap(true);
        QPalette palette = none->palette();
        palette.setColor(QPalette::WindowText, SystemColors::secondaryLabel(this));
        none->setPalette(palette);
        controlled->addRow(none);
    }
    sections->addWidget(controlled);

    for (const ListedApp& listed : m_apps) {
        if (!listed.app.hardDenied)
            continue;
        if (!m_locked) {
            m_locked = new FormSection(QStringLiteral("Always off"));
            sections->addWidget(m_locked);
        }
        m_locked->addRow(row(listed, new LockMark));
    }
    sections->addStretch(1);
    scroll->setWidget(list);
    m_content = scroll;
    m_layout->addWidget(m_content);
}

}  // namespace kx
