#include "onboarding/WalkthroughView.h"

#include "controller/HotKeyText.h"
#include "onboarding/WalkthroughStage.h"
#include "ui/FocusRing.h"
#include "ui/ScrollToFocus.h"
#include "ui/Symbols.h"
#include "ui/SystemColors.h"
#include "ui/Typography.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <QVariantAnimation>

#include <cmath>

namespace kx {

namespace {

// The footer's buttons: a filled primary, an outlined secondary and a bare quiet one.
class WalkButton : public QPushButton {
public:
    enum class Kind { primary, secondary, quiet };

    WalkButton(const QString& text, Kind kind, QWidget* parent) : QPushButton(text, parent), m_kind(kind)
    {
        setFont(Typography::font(14, QFont::DemiBold));
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::TabFocus);
        // Return presses the button that has the focus; the view presses the default one otherwise.
        setAutoDefault(true);
    }

    void setKind(Kind kind)
    {
        m_kind = kind;
        updateGeometry();
        update();
    }

    QSize sizeHint() const override
    {
        const QFontMetrics metrics(font());
        const int horizontal = m_kind == Kind::quiet ? 8 : 20;
        return QSize(metrics.horizontalAdvance(text()) + 2 * horizontal, metrics.height() + 20);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setOpacity(isDown() ? 0.78 : 1);
        const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        const QColor primary = SystemColors::label(this);
        QColor text = primary;
        switch (m_kind) {
        case Kind::primary:
            painter.setPen(Qt::NoPen);
            painter.setBrush(SystemColors::blue());
            painter.drawRoundedRect(box, 9, 9);
            text = Qt::white;
            break;
        case Kind::secondary:
            painter.setPen(QPen(SystemColors::withAlpha(primary, 0.16), 1));
            painter.setBrush(Qt::NoBrush);
            painter.drawRoundedRect(box, 9, 9);
            break;
        case Kind::quiet:
            text = SystemColors::secondaryLabel(this);
            break;
        }
        painter.setPen(text);
        painter.setFont(font());
        painter.drawText(rect(), Qt::AlignCenter, this->text());
        painter.setOpacity(1);
        FocusRing::paint(painter, *this, rect(), 9, m_kind == Kind::primary);
    }

private:
    Kind m_kind;
};

}  // namespace

// One capsule per step; the current one is long and blue, and moves to the next step smoothly.
class WalkthroughDots : public QWidget {
public:
    explicit WalkthroughDots(QWidget* parent) : QWidget(parent)
    {
        setFixedSize(static_cast<int>(allWalkSteps.size() - 1) * 12 + 17, 6);
        m_animation.setDuration(200);
        m_animation.setEasingCurve(QEasingCurve::InOutQuad);
        connect(&m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
            m_position = value.toDouble();
            update();
        });
    }

    void setStep(WalkStep step)
    {
        const double target = static_cast<double>(step);
        if (target == m_target)
            return;
        m_target = target;
        m_animation.stop();
        m_animation.setStartValue(m_position);
        m_animation.setEndValue(target);
        m_animation.start();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        double x = 0;
        for (std::size_t i = 0; i < allWalkSteps.size(); ++i) {
            const double nearness = std::max(0.0, 1 - std::abs(static_cast<double>(i) - m_position));
            const double width = 6 + 11 * nearness;
            painter.setBrush(SystemColors::blend(SystemColors::withAlpha(SystemColors::label(this), 0.15),
                                                 SystemColors::blue(), nearness));
            painter.drawRoundedRect(QRectF(x, 0, width, 6), 3, 3);
            x += width + 6;
        }
    }

private:
    QVariantAnimation m_animation;
    double m_position = 0;
    double m_target = 0;
};

const std::map<WalkStep, std::string>& WalkthroughView::lines()
{
    static const std::map<WalkStep, std::string> captions = {
        {WalkStep::automatic, "Keep typing — it's taken care of."},
        {WalkStep::ask, "It detects and offers, you click."},
        {WalkStep::manual, "Use " + std::string(convertHotKeyText) + " to convert typos and selections."},
        {WalkStep::secure, "Sensitive fields are invisible to it."},
        {WalkStep::permissions, "Help me, help you. 🙂"},
    };
    return captions;
}

WalkthroughView::WalkthroughView(WalkthroughModel& model, std::function<void(platform::Permission)> explain,
                                 QWidget* parent)
    : QWidget(parent), m_model(model)
{
    setMinimumSize(560, 420);
    resize(openWidth, openHeight);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    m_pages = new QStackedWidget(this);
    root->addWidget(m_pages);

    auto* walk = new QWidget(m_pages);
    auto* column = new QVBoxLayout(walk);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    // The stage scrolls where the screen is too small for it (large text, twice the scale, a small
    // screen); its caption, what the step is about, stays in view above the footer's buttons.
    const ScrollToFocus::Page page = ScrollToFocus::makePage(walk);
    QScrollArea* scroll = page.area;
    QWidget* scene = page.page;
    QVBoxLayout* sceneColumn = page.column;
    m_stage = new WalkthroughStage(model, std::move(explain), scene);
    sceneColumn->addWidget(m_stage);
    sceneColumn->addStretch(1);
    column->addWidget(scroll, 1);
    auto* divider = new QFrame(walk);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setStyleSheet(QStringLiteral("color: rgba(128,128,128,60);"));
    column->addWidget(divider);
    m_caption = new QLabel(walk);
    m_caption->setObjectName(QStringLiteral("caption"));
    m_caption->setFont(Typography::font(15, QFont::DemiBold));
    m_caption->setAlignment(Qt::AlignCenter);
    m_caption->setWordWrap(true);
    m_caption->setTextFormat(Qt::RichText);
    m_caption->setContentsMargins(28, 20, 28, 0);
    column->addWidget(m_caption);
    column->addSpacing(12);

    auto* footer = new QHBoxLayout;
    footer->setContentsMargins(26, 0, 26, 20);
    footer->setSpacing(14);
    m_dots = new WalkthroughDots(walk);
    footer->addWidget(m_dots, 0, Qt::AlignVCenter);
    footer->addStretch(1);
    m_back = new WalkButton(QStringLiteral("Back"), WalkButton::Kind::secondary, walk);
    connect(m_back, &QPushButton::clicked, this, [this] {
        if (!m_model.state().finished)
            m_model.go(static_cast<WalkStep>(static_cast<int>(m_model.state().step) - 1));
    });
    footer->addWidget(m_back);
    m_forward = new WalkButton(QStringLiteral("Next"), WalkButton::Kind::primary, walk);
    connect(m_forward, &QPushButton::clicked, this, [this] { m_model.next(); });
    footer->addWidget(m_forward);
    column->addLayout(footer);
    m_pages->addWidget(walk);

    auto* sendOff = new QWidget(m_pages);
    auto* sendOffColumn = new QVBoxLayout(sendOff);
    sendOffColumn->setContentsMargins(0, 0, 0, 26);
    sendOffColumn->setSpacing(26);
    sendOffColumn->addStretch(1);
    m_sendOff = new QLabel(sendOff);
    m_sendOff->setFont(Typography::font(26, QFont::Bold));
    m_sendOff->setAlignment(Qt::AlignCenter);
    sendOffColumn->addWidget(m_sendOff);
    m_close = new WalkButton(QStringLiteral("Close"), WalkButton::Kind::primary, sendOff);
    connect(m_close, &QPushButton::clicked, this, [this] {
        if (m_model.onFinish)
            m_model.onFinish();
    });
    sendOffColumn->addWidget(m_close, 0, Qt::AlignHCenter);
    m_pages->addWidget(sendOff);

    m_subscription = m_model.changed.subscribe([this] { follow(); });
    follow();
}

WalkthroughView::~WalkthroughView() = default;

QPushButton* WalkthroughView::defaultButton() const
{
    return m_model.state().finished ? m_close : m_forward;
}

void WalkthroughView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
        QWidget::keyPressEvent(event);
        return;
    }
    defaultButton()->click();
}

void WalkthroughView::follow()
{
    const auto& state = m_model.state();
    if (state.finished) {
        m_pages->setCurrentIndex(1);
        // The words keep their order on the line; the text's own direction places them.
        QString line;
        for (const auto& word : m_model.lineWords())
            line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + QString::fromStdString(word);
        m_sendOff->setText(line);
        m_sendOff->setLayoutDirection(state.rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
        return;
    }
    m_pages->setCurrentIndex(0);
    m_stage->follow();
    const auto caption = lines().find(state.step);
    const QString text = caption == lines().end() ? QString() : QString::fromStdString(caption->second);
    m_caption->setText(Symbols::withImages(text, 17, SystemColors::label(m_caption)));
    m_dots->setStep(state.step);
    m_back->setVisible(state.step != WalkStep::automatic);

    auto* forward = static_cast<WalkButton*>(m_forward);
    if (state.step != WalkStep::permissions) {
        forward->setText(QStringLiteral("Next"));
        forward->setKind(WalkButton::Kind::primary);
    } else if (state.accessibility && state.inputMonitoring) {
        forward->setText(QStringLiteral("Start using Kestrelix"));
        forward->setKind(WalkButton::Kind::primary);
    } else {
        forward->setText(QStringLiteral("Skip for now"));
        forward->setKind(WalkButton::Kind::quiet);
    }
}

}  // namespace kx
