#include "onboarding/DrillView.h"

#include "controller/LaunchOptions.h"
#include "onboarding/OnboardingServices.h"
#include "onboarding/Spinner.h"
#include "ui/FocusRing.h"
#include "ui/ScrollToFocus.h"
#include "ui/SystemColors.h"
#include "ui/Typography.h"

#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace kx {

namespace {

constexpr int copiedMilliseconds = 1600;
constexpr int autostartMilliseconds = 400;
const QColor green(0x34, 0xC7, 0x59);

QLabel* label(const QString& text, const QFont& font, const QColor& color, QWidget* parent)
{
    auto* result = new QLabel(text, parent);
    // Hebrew sentences stay at the left edge with the rest, not at the side their script reads from.
    result->setAlignment(Qt::AlignAbsolute | Qt::AlignLeft | Qt::AlignVCenter);
    result->setFont(font);
    QPalette palette = result->palette();
    palette.setColor(QPalette::WindowText, color);
    result->setPalette(palette);
    return result;
}

void setColor(QLabel* label, const QColor& color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

Drill::Services servicesOf(const OnboardingServices& shared)
{
    return {shared.main, shared.eventPoster, shared.inputSources, shared.history};
}

// A filled check mark or cross in a circle.
class OutcomeMark : public QWidget {
public:
    OutcomeMark(bool passed, QWidget* parent) : QWidget(parent), m_passed(passed) { setFixedSize(16, 16); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_passed ? green : SystemColors::red());
        painter.drawEllipse(QRectF(rect()).adjusted(1, 1, -1, -1));
        painter.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        if (m_passed) {
            painter.drawPolyline(QPolygonF({QPointF(4.8, 8.3), QPointF(7, 10.5), QPointF(11.2, 5.8)}));
        } else {
            painter.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
            painter.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
        }
    }

private:
    bool m_passed;
};

// A play symbol in a circle, for the empty state.
class PlayCircle : public QWidget {
public:
    explicit PlayCircle(QWidget* parent) : QWidget(parent) { setFixedSize(40, 40); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QColor color = SystemColors::secondaryLabel(this);
        painter.setPen(QPen(color, 2));
        painter.drawEllipse(QRectF(rect()).adjusted(2, 2, -2, -2));
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawPolygon(QPolygonF({QPointF(16, 12), QPointF(29, 20), QPointF(16, 28)}));
    }
};

// The field's rounded box: the text background with a faint border.
class FieldBox : public QWidget {
public:
    using QWidget::QWidget;

    /// The field inside, whose keyboard focus the box shows with a ring.
    void hold(QWidget* field)
    {
        m_field = field;
        field->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
            update();
        return QWidget::eventFilter(watched, event);
    }

    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(SystemColors::withAlpha(SystemColors::label(this), 0.1), 1));
        painter.setBrush(palette().color(QPalette::Base));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
        if (m_field)
            FocusRing::paint(painter, *m_field, rect(), 6);
    }

private:
    QWidget* m_field = nullptr;
};

}  // namespace

// The field as the drill sees it.
class DrillView::TextField final : public Drill::Field {
public:
    explicit TextField(QPlainTextEdit& edit) : m_edit(edit) {}

    std::string text() const override { return m_edit.toPlainText().toStdString(); }
    void setText(const std::string& text) override { m_edit.setPlainText(QString::fromStdString(text)); }
    void focus() override
    {
        QWidget* window = m_edit.window();
        window->raise();
        window->activateWindow();
        m_edit.setFocus(Qt::OtherFocusReason);
    }

private:
    QPlainTextEdit& m_edit;
};

DrillView::DrillView(const LayoutRegistry& registry, QWidget* parent)
    : DrillView(registry, servicesOf(OnboardingServices::shared()), parent)
{}

DrillView::DrillView(const LayoutRegistry& registry, const Drill::Services& services, QWidget* parent)
    : QWidget(parent), m_registry(registry), m_drill(services)
{
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(makeControlBar());
    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    root->addWidget(divider);
    root->addWidget(makeTypingArea());
    root->addWidget(makeResults(), 1);

    m_textField = std::make_unique<TextField>(*m_field);
    m_drill.setField(m_textField.get());
    m_subscription = m_drill.changed.subscribe([this] { follow(); });
    follow();
}

DrillView::~DrillView()
{
    m_subscription.reset();
    m_drill.setField(nullptr);
    if (m_drill.running())
        m_drill.stop();
}

QWidget* DrillView::makeControlBar()
{
    auto* bar = new QWidget(this);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(10);

    m_run = new QPushButton(bar);
    connect(m_run, &QPushButton::clicked, this, [this] {
        if (m_drill.running())
            m_drill.stop();
        else
            m_drill.start(m_registry);
    });
    row->addWidget(m_run);
    auto* returnKey = new QShortcut(QKeySequence(Qt::Key_Return), this);
    returnKey->setContext(Qt::WidgetWithChildrenShortcut);
    connect(returnKey, &QShortcut::activated, m_run, &QPushButton::click);

    m_score =
        label(QString(), Typography::rounded(Typography::callout, QFont::DemiBold), SystemColors::label(this), bar);
    row->addWidget(m_score);
    m_spinner = new Spinner(14, bar);
    row->addWidget(m_spinner);
    row->addStretch(1);

    m_copy = new QPushButton(bar);
    connect(m_copy, &QPushButton::clicked, this, [this] { copyReport(); });
    row->addWidget(m_copy);

    m_pacePicker = new QFrame(bar);
    auto* segments = new QHBoxLayout(m_pacePicker);
    segments->setContentsMargins(0, 0, 0, 0);
    segments->setSpacing(0);
    auto* group = new QButtonGroup(m_pacePicker);
    group->setExclusive(true);
    for (std::size_t i = 0; i < Drill::allPaces.size(); ++i) {
        const Drill::Pace pace = Drill::allPaces[i];
        auto* segment = new QToolButton(m_pacePicker);
        segment->setText(QString::fromStdString(Drill::label(pace)));
        segment->setCheckable(true);
        segment->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        group->addButton(segment);
        connect(segment, &QToolButton::clicked, this, [this, pace] { m_drill.setPace(pace); });
        segments->addWidget(segment);
        m_paces[i] = segment;
    }
    // 200 wide, or as wide as larger text needs for the three titles.
    m_pacePicker->setFixedWidth(std::max(200, m_pacePicker->sizeHint().width()));
    row->addWidget(m_pacePicker);
    return bar;
}

QWidget* DrillView::makeTypingArea()
{
    auto* area = new QWidget(this);
    auto* column = new QVBoxLayout(area);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(4);
    m_caption = label(QString(), Typography::font(Typography::caption), SystemColors::secondaryLabel(this), area);
    m_caption->setTextFormat(Qt::PlainText);
    column->addWidget(m_caption);
    auto* box = new FieldBox(area);
    box->setFixedHeight(qRound(Typography::scaled(90)));
    auto* boxLayout = new QVBoxLayout(box);
    boxLayout->setContentsMargins(1, 1, 1, 1);
    m_field = new QPlainTextEdit(box);
    m_field->setFont(Typography::font(15));
    // The drill types no tabs; for the keyboard user Tab moves on, as in a form.
    m_field->setTabChangesFocus(true);
    m_field->setFrameShape(QFrame::NoFrame);
    m_field->document()->setDocumentMargin(8);
    // The box paints the background, so the square corners of the field's own stay out of sight.
    m_field->viewport()->setAutoFillBackground(false);
    boxLayout->addWidget(m_field);
    box->hold(m_field);
    column->addWidget(box);
    return area;
}

QWidget* DrillView::makeResults()
{
    m_results = new QStackedWidget(this);

    auto* empty = new QWidget(m_results);
    auto* emptyColumn = new QVBoxLayout(empty);
    emptyColumn->addStretch(1);
    emptyColumn->addWidget(new PlayCircle(empty), 0, Qt::AlignHCenter);
    QLabel* title =
        label(QStringLiteral("Nothing run yet"), Typography::font(17, QFont::Bold), SystemColors::label(this), empty);
    emptyColumn->addWidget(title, 0, Qt::AlignHCenter);
    QLabel* description = label(QStringLiteral("Press Run and Kestrelix will type sentences on the wrong layout, then "
                                               "fix them."),
                                Typography::font(Typography::callout), SystemColors::secondaryLabel(this), empty);
    description->setAlignment(Qt::AlignCenter);
    description->setWordWrap(true);
    emptyColumn->addWidget(description);
    emptyColumn->addStretch(1);
    m_results->addWidget(empty);

    auto* scroll = new QScrollArea(m_results);
    // Tab goes from control to control, scrolling each into view; the list itself is no stop.
    scroll->setFocusPolicy(Qt::NoFocus);
    ScrollToFocus::install(*scroll);

    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* list = new QWidget(scroll);
    m_rows = new QVBoxLayout(list);
    m_rows->setContentsMargins(0, 0, 0, 0);
    m_rows->setSpacing(0);
    m_rows->addStretch(1);
    scroll->setWidget(list);
    m_results->addWidget(scroll);
    return m_results;
}

void DrillView::follow()
{
    const bool running = m_drill.running();
    const auto& outcomes = m_drill.outcomes();
    m_run->setText(running ? QStringLiteral("Stop") : QStringLiteral("Run"));
    m_run->setIcon(
        QIcon::fromTheme(running ? QStringLiteral("media-playback-stop") : QStringLiteral("media-playback-start")));

    m_score->setVisible(!outcomes.empty());
    m_score->setText(QStringLiteral("%1/%2").arg(m_drill.passed()).arg(outcomes.size()));
    setColor(m_score, m_drill.passed() == static_cast<int>(outcomes.size()) ? green : SystemColors::label(this));
    m_spinner->setVisible(running);

    m_copy->setVisible(!outcomes.empty() && !running);
    m_copy->setText(m_copied ? QStringLiteral("Copied") : QStringLiteral("Copy report"));
    m_copy->setIcon(QIcon::fromTheme(m_copied ? QStringLiteral("object-select") : QStringLiteral("edit-copy")));

    const auto selected = static_cast<std::size_t>(m_drill.pace());
    for (std::size_t i = 0; i < m_paces.size(); ++i)
        m_paces[i]->setChecked(i == selected);
    m_pacePicker->setToolTip(QString::fromStdString(std::string(Drill::description(m_drill.pace()))));
    m_pacePicker->setEnabled(!running);

    if (running) {
        m_caption->setText(QStringLiteral("typing: ") + QString::fromStdString(m_drill.current()));
        setColor(m_caption, SystemColors::label(this));
    } else {
        m_caption->setText(QStringLiteral("Kestrelix types here — watch it correct itself"));
        setColor(m_caption, SystemColors::secondaryLabel(this));
    }

    if (outcomes.size() != m_shownOutcomes)
        rebuildResults();
}

void DrillView::rebuildResults()
{
    const auto& outcomes = m_drill.outcomes();
    m_shownOutcomes = outcomes.size();
    m_results->setCurrentIndex(outcomes.empty() ? 0 : 1);
    while (m_rows->count() > 1) {
        QLayoutItem* item = m_rows->takeAt(0);
        delete item->widget();
        delete item;
    }
    QWidget* list = m_rows->parentWidget();
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const QFont small = Typography::font(10);
    if (small.pointSizeF() > 0)
        mono.setPointSizeF(small.pointSizeF());
    else
        mono.setPixelSize(small.pixelSize());
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        const Drill::Outcome& outcome = outcomes[i];
        auto* row = new QWidget(list);
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(12, 6, 12, 6);
        line->setSpacing(8);
        line->addWidget(new OutcomeMark(outcome.passed(), row), 0, Qt::AlignTop);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(2);
        texts->addWidget(label(QString::fromStdString(outcome.group).toUpper(), Typography::font(9, QFont::DemiBold),
                               SystemColors::tertiaryLabel(this), row));
        QLabel* intended = label(QString::fromStdString(outcome.intended), Typography::font(Typography::callout),
                                 SystemColors::label(this), row);
        intended->setTextFormat(Qt::PlainText);
        texts->addWidget(intended);
        if (!outcome.passed()) {
            QLabel* got = label(outcome.got.empty() ? QStringLiteral("(nothing)") : QString::fromStdString(outcome.got),
                                Typography::font(Typography::caption), SystemColors::red(), row);
            got->setTextFormat(Qt::PlainText);
            got->setTextInteractionFlags(Qt::TextSelectableByMouse);
            texts->addWidget(got);
        }
        for (const Drill::Fire& fire : outcome.fired) {
            QLabel* fired = label(QString::fromStdString(fire.line()), mono, SystemColors::secondaryLabel(this), row);
            fired->setTextFormat(Qt::PlainText);
            texts->addWidget(fired);
        }
        line->addLayout(texts, 1);
        m_rows->insertWidget(static_cast<int>(i), row);
    }
}

void DrillView::copyReport()
{
    QApplication::clipboard()->setText(QString::fromStdString(m_drill.reportText()));
    m_copied = true;
    follow();
    QTimer::singleShot(copiedMilliseconds, this, [this] {
        m_copied = false;
        follow();
    });
}

void DrillView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    autostartIfAsked();
}

void DrillView::autostartIfAsked()
{
    auto& options = LaunchOptions::shared();
    if (!options.drillPace)
        return;
    const Drill::Pace pace = *options.drillPace;
    // Once per launch.
    options.drillPace.reset();
    m_drill.setPace(pace);
    QTimer::singleShot(autostartMilliseconds, this, [this] { m_drill.start(m_registry); });
}

}  // namespace kx
