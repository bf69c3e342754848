#include "onboarding/SetupView.h"

#include "controller/Permissions.h"
#include "onboarding/Spinner.h"
#include "ui/Assets.h"
#include "ui/BetaBadge.h"
#include "ui/ScrollToFocus.h"
#include "ui/SystemColors.h"
#include "ui/Typography.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace kx {

namespace {

QFont callout(QFont::Weight weight = QFont::Normal)
{
    return Typography::font(Typography::callout, weight);
}
QFont caption()
{
    return Typography::font(Typography::caption);
}

QLabel* label(const QString& text, const QFont& font, const QColor& color, QWidget* parent)
{
    auto* result = new QLabel(text, parent);
    result->setFont(font);
    QPalette palette = result->palette();
    palette.setColor(QPalette::WindowText, color);
    result->setPalette(palette);
    return result;
}

// The logo, or a blue rounded square with a keyboard when the image is missing.
class SetupLogo : public QWidget {
public:
    explicit SetupLogo(QWidget* parent) : QWidget(parent) { setFixedSize(46, 35); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const QImage& logo = Assets::logo();
        if (!logo.isNull()) {
            const QSizeF scaled = QSizeF(logo.size()).scaled(QSizeF(size()), Qt::KeepAspectRatio);
            const QPointF origin((width() - scaled.width()) / 2, (height() - scaled.height()) / 2);
            painter.drawImage(QRectF(origin, scaled), logo);
            return;
        }
        const QRectF square((width() - height()) / 2.0, 0, height(), height());
        painter.setPen(Qt::NoPen);
        painter.setBrush(SystemColors::blue());
        painter.drawRoundedRect(square, 9, 9);
        painter.setPen(Qt::white);
        painter.setFont(Typography::font(17, QFont::DemiBold));
        painter.drawText(square, Qt::AlignCenter, QStringLiteral("\u2328"));
    }
};

// The numbered circle that becomes a check mark once the permission is granted.
class StepMark : public QWidget {
public:
    StepMark(int index, QWidget* parent) : QWidget(parent), m_index(index)
    {
        // Grows with the number drawn in it.
        const int side = qRound(Typography::scaled(24));
        setFixedSize(side, side);
    }

    void setGranted(bool granted)
    {
        m_granted = granted;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_granted ? SystemColors::withAlpha(SystemColors::blue(), 0.15)
                                   : SystemColors::withAlpha(SystemColors::secondaryLabel(this), 0.16));
        painter.drawEllipse(QRectF(rect()));
        if (m_granted) {
            painter.scale(width() / 24.0, height() / 24.0);
            painter.setPen(QPen(QColor(0x34, 0xC7, 0x59), 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            QPainterPath check;
            check.moveTo(7.5, 12.5);
            check.lineTo(10.5, 15.5);
            check.lineTo(16.5, 8.5);
            painter.drawPath(check);
        } else {
            painter.setPen(SystemColors::secondaryLabel(this));
            painter.setFont(Typography::font(12, QFont::DemiBold));
            painter.drawText(rect(), Qt::AlignCenter, QString::number(m_index));
        }
    }

private:
    int m_index;
    bool m_granted = false;
};

// The footer's filled green circle with a white check mark, at the size of an 18-point symbol.
class AllSetMark : public QWidget {
public:
    explicit AllSetMark(QWidget* parent) : QWidget(parent)
    {
        setObjectName(QStringLiteral("allSetMark"));
        // Beside the footer's text, as large as that text.
        const int side = qRound(Typography::scaled(20));
        setFixedSize(side, side);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(width() / 20.0, height() / 20.0);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x34, 0xC7, 0x59));
        painter.drawEllipse(QRectF(1, 1, 18, 18));
        painter.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPainterPath check;
        check.moveTo(6, 10.5);
        check.lineTo(8.8, 13.2);
        check.lineTo(14, 7.2);
        painter.drawPath(check);
    }
};

}  // namespace

// One permission: its number or check mark, what it is for, and the button to its page.
class SetupStepRow : public QWidget {
public:
    SetupStepRow(int index, const QString& title, const QString& button, std::function<void()> explain, QWidget* parent)
        : QWidget(parent)
    {
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(12, 12, 12, 12);
        layout->setSpacing(12);
        m_mark = new StepMark(index, this);
        layout->addWidget(m_mark, 0, Qt::AlignTop);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(3);
        texts->addWidget(label(title, callout(QFont::DemiBold), SystemColors::label(this), this));
        m_detail = label({}, caption(), SystemColors::secondaryLabel(this), this);
        m_detail->setWordWrap(true);
        texts->addWidget(m_detail);
        layout->addLayout(texts, 1);
        m_button = new QPushButton(button, this);
        m_button->setFont(Typography::font(11));
        m_button->setAutoDefault(false);
        connect(m_button, &QPushButton::clicked, this, std::move(explain));
        layout->addWidget(m_button, 0, Qt::AlignTop);
    }

    void setGranted(bool granted, const QString& detail)
    {
        m_detail->setText(detail);
        m_granted = granted;
        m_mark->setGranted(granted);
        // A step already done has nothing left to turn on.
        m_button->setVisible(!granted);
        update();
    }
    bool granted() const { return m_granted; }
    QPushButton* button() const { return m_button; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        // A done step is outlined in blue with its check mark; one to do keeps a faint outline.
        painter.setPen(QPen(m_granted ? SystemColors::withAlpha(SystemColors::blue(), 0.35)
                                      : SystemColors::withAlpha(SystemColors::label(this), 0.1),
                            1.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
    }

private:
    StepMark* m_mark = nullptr;
    QLabel* m_detail = nullptr;
    QPushButton* m_button = nullptr;
    bool m_granted = false;
};

namespace {

// A rounded panel filled with colour.
class Panel : public QWidget {
public:
    Panel(QColor fill, QWidget* parent) : QWidget(parent), m_fill(fill) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_fill);
        painter.drawRoundedRect(QRectF(rect()), 10, 10);
    }

private:
    QColor m_fill;
};

// The header's bar, a shade off the window, with a hairline under it.
class HeaderBar : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QColor window = palette().color(QPalette::Window);
        painter.fillRect(rect(), window.lightness() > 128 ? window.darker(104) : window.lighter(115));
        painter.fillRect(QRect(0, height() - 1, width(), 1), SystemColors::withAlpha(SystemColors::label(this), 0.12));
    }
};

}  // namespace

SetupView::SetupView(SetupModel& model, std::function<void(platform::Permission)> explain, QWidget* parent)
    : QWidget(parent), m_model(model), m_explain(std::move(explain))
{
    resize(viewWidth, viewHeight);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    // The header and the steps scroll when the window is shorter than they are (a small screen,
    // large text, twice the scale); the footer stays in view under them.
    const ScrollToFocus::Page steps = ScrollToFocus::makePage(this);
    QScrollArea* scroll = steps.area;
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    steps.column->addWidget(makeHeader());
    auto* content = new QVBoxLayout;
    steps.column->addLayout(content, 1);
    content->setContentsMargins(20, 20, 20, 14);
    content->setSpacing(14);
    QLabel* intro = label(QStringLiteral("Kestrelix watches your typing and rewrites words you started in the wrong "
                                         "keyboard layout. For that it needs two things from your desktop: keyboard "
                                         "access through the X server and the accessibility bus."),
                          callout(), SystemColors::secondaryLabel(this), this);
    intro->setWordWrap(true);
    content->addWidget(intro);
    m_accessibilityRow = new SetupStepRow(
        1, QStringLiteral("Accessibility"), QString::fromUtf8("How to Turn On…"),
        [this] { m_explain(platform::Permission::accessibility); }, this);
    m_accessibilityRow->setObjectName(QStringLiteral("accessibilityStep"));
    content->addWidget(m_accessibilityRow);
    m_inputMonitoringRow = new SetupStepRow(
        2, QStringLiteral("Keyboard access"), QString::fromUtf8("What to Do…"),
        [this] { m_explain(platform::Permission::inputMonitoring); }, this);
    m_inputMonitoringRow->setObjectName(QStringLiteral("keyboardStep"));
    content->addWidget(m_inputMonitoringRow);
    content->addWidget(makeInstructions());
    content->addStretch(1);
    root->addWidget(scroll, 1);
    auto* footer = new QVBoxLayout;
    footer->setContentsMargins(20, 0, 20, 20);
    footer->addWidget(makeFooter());
    root->addLayout(footer);

    m_subscription = m_model.changed.subscribe([this] { follow(); });
    follow();
}

SetupView::~SetupView() = default;

QString SetupView::detail(platform::Permission permission, bool granted, const std::vector<std::string>& missing)
{
    if (permission == platform::Permission::accessibility)
        return granted ? QStringLiteral("The accessibility bus is on: Kestrelix can read the text before the cursor "
                                        "to check each correction.")
                       : QString::fromUtf8("Missing: the accessibility bus (AT-SPI) is off, so Kestrelix can’t read "
                                           "the text before the cursor. Turn it on, then restart your applications.");
    if (granted)
        return QStringLiteral("The X server has the XKB, XTEST and RECORD extensions Kestrelix needs to see and "
                              "type keys.");
    if (missing.empty())
        return QString::fromUtf8("Missing: Kestrelix can’t use the keyboard extensions of this display. Only a "
                                 "new X11 session can change that.");
    return QStringLiteral("Missing: this display lacks %1, which Kestrelix needs to see and type keys. Only a new "
                          "X11 session can add %2.")
        .arg(QString::fromStdString(Permissions::joinedNames(missing)),
             missing.size() == 1 ? QStringLiteral("it") : QStringLiteral("them"));
}

QString SetupView::footerText(bool accessibility, bool keyboard, const std::vector<std::string>& missing)
{
    if (!keyboard)
        return missing.empty()
                   ? QString::fromUtf8("Kestrelix can’t start in this X session. Log in to a new X11 session, "
                                       "then start it there.")
                   : QString::fromUtf8("Kestrelix can’t start in this X session: it lacks %1. Log in to a new X11 "
                                       "session, then start it there.")
                         .arg(QString::fromStdString(Permissions::joinedNames(missing)));
    if (!accessibility)
        return QString::fromUtf8("Waiting for accessibility — Kestrelix starts the moment it’s on.");
    return QString::fromUtf8("Kestrelix is running — look for its keyboard icon in the panel’s tray.");
}

QWidget* SetupView::makeHeader()
{
    auto* bar = new HeaderBar(this);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(20, 14, 20, 14);
    row->setSpacing(11);
    row->addWidget(new SetupLogo(bar));
    auto* titles = new QVBoxLayout;
    titles->setSpacing(0);
    auto* wordmarkRow = new QHBoxLayout;
    wordmarkRow->setSpacing(6);
    const QString wordmarkText =
        QStringLiteral("Kestrel<span style=\"color:%1\">ix</span>").arg(SystemColors::blue().name());
    QLabel* wordmark = label(wordmarkText, Typography::font(16, QFont::DemiBold), SystemColors::label(this), bar);
    wordmark->setTextFormat(Qt::RichText);
    wordmarkRow->addWidget(wordmark);
    wordmarkRow->addWidget(new BetaBadge(bar), 0, Qt::AlignVCenter);
    wordmarkRow->addStretch(1);
    titles->addLayout(wordmarkRow);
    titles->addWidget(
        label(QStringLiteral("What Kestrelix needs"), caption(), SystemColors::secondaryLabel(this), bar));
    row->addLayout(titles, 1);
    return bar;
}

QWidget* SetupView::makeInstructions()
{
    // The bold spans of each line; the desktop has no per-application switch, so the steps say
    // where the two switches are on X11.
    const std::array<QString, 3> lines = {
        QString::fromUtf8("<b>How to Turn On…</b> shows where your desktop turns on <b>accessibility</b>."),
        QStringLiteral("Keyboard access needs an <b>X11</b> session whose server has XKB, XTEST and RECORD; "
                       "<b>Wayland</b> is not supported yet."),
        QStringLiteral("Back here, each row turns into a <b>check mark</b> as soon as its part is there."),
    };
    auto* panel = new Panel(SystemColors::withAlpha(SystemColors::label(this), 0.04), this);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(6);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        auto* line = new QHBoxLayout;
        line->setSpacing(6);
        // The dingbat digits ❶ ❷ ❸.
        QLabel* icon = label(QString(QChar(0x2776 + static_cast<int>(i))), Typography::font(12),
                             SystemColors::secondaryLabel(this), panel);
        line->addWidget(icon, 0, Qt::AlignTop);
        QLabel* text = label(lines[i], caption(), SystemColors::secondaryLabel(this), panel);
        text->setTextFormat(Qt::RichText);
        text->setWordWrap(true);
        line->addWidget(text, 1);
        column->addLayout(line);
    }
    return panel;
}

QWidget* SetupView::makeFooter()
{
    m_footer = new QStackedWidget(this);

    auto* waiting = new QWidget(m_footer);
    auto* waitingRow = new QHBoxLayout(waiting);
    waitingRow->setContentsMargins(2, 0, 2, 0);
    waitingRow->setSpacing(7);
    m_spinner = new Spinner(14, waiting);
    waitingRow->addWidget(m_spinner);
    m_waiting = label({}, caption(), SystemColors::secondaryLabel(this), waiting);
    m_waiting->setWordWrap(true);
    waitingRow->addWidget(m_waiting, 1);
    m_footer->addWidget(waiting);

    auto* done = new Panel(SystemColors::withAlpha(SystemColors::blue(), 0.12), m_footer);
    auto* doneRow = new QHBoxLayout(done);
    doneRow->setContentsMargins(12, 12, 12, 12);
    doneRow->setSpacing(9);
    doneRow->addWidget(new AllSetMark(done));
    auto* texts = new QVBoxLayout;
    texts->setSpacing(0);
    texts->addWidget(
        label(QStringLiteral("You're all set"), callout(QFont::DemiBold), SystemColors::label(this), done));
    QLabel* running = label(footerText(true, true, {}), caption(), SystemColors::secondaryLabel(this), done);
    running->setWordWrap(true);
    texts->addWidget(running);
    doneRow->addLayout(texts, 1);
    m_done = new QPushButton(QStringLiteral("Done"), done);
    m_done->setDefault(true);
    connect(m_done, &QPushButton::clicked, this, [this] {
        if (onDone)
            onDone();
    });
    doneRow->addWidget(m_done);
    m_footer->addWidget(done);
    return m_footer;
}

void SetupView::follow()
{
    const bool accessibility = m_model.accessibility();
    const bool keyboard = m_model.inputMonitoring();
    const auto& missing = m_model.missingForKeyboard();
    m_accessibilityRow->setGranted(accessibility, detail(platform::Permission::accessibility, accessibility, {}));
    m_inputMonitoringRow->setGranted(keyboard, detail(platform::Permission::inputMonitoring, keyboard, missing));
    const bool allSet = accessibility && keyboard;
    m_footer->setCurrentIndex(allSet ? 1 : 0);
    m_waiting->setText(footerText(accessibility, keyboard, missing));
    // Only accessibility can come while the window is open; what the X server lacks cannot.
    m_spinner->setVisible(keyboard && !accessibility);
    m_done->setDefault(allSet);
    // The keyboard focus goes to what is left to do, never to a step already done.
    if (!accessibility)
        m_accessibilityRow->button()->setFocus();
    else if (!keyboard)
        m_inputMonitoringRow->button()->setFocus();
    else
        m_done->setFocus();
}

void SetupView::keyPressEvent(QKeyEvent* event)
{
    // Return is "Done"'s shortcut while it shows.
    const bool isReturn = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (isReturn && event->modifiers() == Qt::NoModifier && m_footer->currentIndex() == 1) {
        m_done->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace kx
