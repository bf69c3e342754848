#include "ui/StatusBanner.h"

#include "controller/SettingsActions.h"
#include "controller/WindowPresenter.h"
#include "ui/Symbols.h"
#include "ui/SystemColors.h"
#include "ui/Typography.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

namespace kx {

StatusBanner::StatusBanner(SettingsActions& actions, WindowPresenter& windows, QWidget* parent, UnsavedFiles& unsaved)
    : QWidget(parent),
      m_actions(actions),
      m_unsaved(unsaved),
      m_symbol(new QLabel(this)),
      m_title(new QLabel(this)),
      m_text(new QLabel(this)),
      m_setup(new QPushButton(QStringLiteral("Open Setup"), this))
{
    auto* row = new QHBoxLayout(this);
    // One pixel more at the bottom for the divider under the banner.
    row->setContentsMargins(16, 10, 16, 11);
    row->setSpacing(9);
    m_symbol->setFixedWidth(16);
    row->addWidget(m_symbol, 0, Qt::AlignTop);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    m_title->setFont(Typography::font(12, QFont::DemiBold));
    m_text->setFont(Typography::font(11));
    m_text->setWordWrap(true);
    // The text names the Secure Input holder as it calls itself, or a path: never read as markup.
    m_text->setTextFormat(Qt::PlainText);
    QPalette palette = m_text->palette();
    palette.setColor(QPalette::WindowText, SystemColors::secondaryLabel(this));
    m_text->setPalette(palette);
    texts->addWidget(m_title);
    texts->addWidget(m_text);
    row->addLayout(texts, 1);

    m_setup->setFont(Typography::font(11));
    row->addWidget(m_setup, 0, Qt::AlignTop);
    connect(m_setup, &QPushButton::clicked, this, [&windows] { windows.showSetup(); });

    m_subscription = actions.runtimeStatusChanged().subscribe([this] { refresh(); });
    m_unsavedSubscription = unsaved.changed.subscribe([this] { refresh(); });
    refresh();
}

std::optional<StatusBanner::Kind> StatusBanner::kind(const RuntimeStatus& status, bool blockedForField,
                                                     const std::vector<UnsavedFiles::Failure>& unsaved)
{
    if (!status.permissionsOK)
        return Kind::permissions;
    if (status.secureInputStuck)
        return Kind::stuck;
    if (blockedForField)
        return Kind::field;
    if (!unsaved.empty())
        return Kind::unsaved;
    if (!status.missingWordLists.empty())
        return Kind::wordList;
    return std::nullopt;
}

StatusBanner::Content StatusBanner::content(Kind kind, const RuntimeStatus& status,
                                            const std::vector<UnsavedFiles::Failure>& unsaved)
{
    const QString name = QString::fromStdString(status.secureInputHolder);
    switch (kind) {
    case Kind::permissions:
        // The program runs; only the corrector is off.
        return {"exclamationmark.triangle.fill", SystemColors::orange(), QStringLiteral("Kestrelix is off"),
                "It needs keyboard access and accessibility before it can watch typing or fix a word."};
    case Kind::stuck:
        return {"exclamationmark.triangle.fill", SystemColors::red(), "Keyboard held",
                "A bug in " + (name.isEmpty() ? QString("a program") : name) +
                    " left the keyboard held, and it blocks Kestrelix in every app. To clear it: log out of "
                    "your desktop session, then log back in."};
    case Kind::field:
        return {
            "lock.fill", SystemColors::red(), "Off for this text field",
            (name.isEmpty() ? QStringLiteral("Paused while a password field or another program holds the keyboard")
                            : "Paused while " + name +
                                  " holds the keyboard (a password field, or a program that took the keyboard)") +
                QString::fromUtf8(". Kestrelix gets no keystrokes here and can’t change anything in it, by design.")};
    case Kind::unsaved: {
        // The first file is enough: the others are nearly always on the same full or locked disk.
        const UnsavedFiles::Failure first = unsaved.empty() ? UnsavedFiles::Failure{} : unsaved.front();
        return {"exclamationmark.triangle.fill", SystemColors::orange(),
                QString::fromUtf8("Settings and history aren’t being saved"),
                QString::fromUtf8("Kestrelix can’t write %1 (%2). It goes on correcting, but changes to its settings "
                                  "and history last only until it quits. Free some disk space or make the folder "
                                  "writable.")
                    .arg(QString::fromStdString(first.file.string()), QString::fromStdString(first.reason))};
    }
    case Kind::wordList: {
        QStringList languages;
        for (const std::string& language : status.missingWordLists)
            languages << QString::fromUtf8("“%1”").arg(QString::fromStdString(language));
        if (languages.size() == 1)
            return {"exclamationmark.triangle.fill", SystemColors::orange(), "Word list missing",
                    QString::fromUtf8("The word list for %1 is missing or unreadable, so words typed in that "
                                      "language may not be corrected. Reinstalling Kestrelix restores it.")
                        .arg(languages.front())};
        const QString last = languages.takeLast();
        return {"exclamationmark.triangle.fill", SystemColors::orange(), "Word lists missing",
                QString::fromUtf8("The word lists for %1 and %2 are missing or unreadable, so words typed in those "
                                  "languages may not be corrected. Reinstalling Kestrelix restores them.")
                    .arg(languages.join(", "), last)};
    }
    }
    return {};
}

QString StatusBanner::title() const
{
    return m_kind ? m_title->text() : QString();
}

QString StatusBanner::text() const
{
    return m_kind ? m_text->text() : QString();
}

void StatusBanner::refresh()
{
    RuntimeStatus status = m_actions.runtimeStatus();
    const std::vector<UnsavedFiles::Failure> unsaved = m_unsaved.failures();
    m_kind = kind(status, m_actions.blockedForField(), unsaved);
    // In the grace after the field is left its holder is no longer published; the banner keeps
    // naming it, so that neither its text nor the page under it changes until it goes.
    if (m_kind != Kind::field)
        m_fieldHolder.clear();
    else if (status.secureInputActive)
        m_fieldHolder = status.secureInputHolder;
    else
        status.secureInputHolder = m_fieldHolder;
    setVisible(m_kind.has_value());
    if (!m_kind)
        return;
    const Content shown = content(*m_kind, status, unsaved);
    m_color = shown.color;
    m_symbol->setPixmap(Symbols::pixmap(shown.symbol, 14, shown.color));
    m_title->setText(shown.title);
    m_text->setText(shown.text);
    m_setup->setVisible(*m_kind == Kind::permissions);
    update();
}

void StatusBanner::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect().adjusted(0, 0, 0, -1), SystemColors::withAlpha(m_color, 0.1));
    painter.fillRect(QRect(0, height() - 1, width(), 1), SystemColors::withAlpha(SystemColors::label(this), 0.12));
}

}  // namespace kx
