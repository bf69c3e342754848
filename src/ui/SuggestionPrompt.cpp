#include "ui/SuggestionPrompt.h"

#include "controller/HotKeyText.h"
#include "ui/Compositing.h"
#include "ui/SystemColors.h"
#include "ui/Typography.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace kx {

namespace {

constexpr int narrowestWidth = 104;
constexpr int panelHeight = 28;
constexpr int horizontalPadding = 10;
constexpr int gap = 7;
constexpr int offset = 14;
constexpr int edge = 4;
constexpr int fadeInMilliseconds = 120;
constexpr int fadeOutMilliseconds = 100;
constexpr double cornerRadius = 8;
// A deeper blue than the accent, and the hot key only slightly dimmed, so both texts read at 4.5:1
// or more: white on the accent blue reaches only 4:1, and dimmed as the label was, 2.6:1.
const QColor capsuleBlue(0x00, 0x58, 0xD0);
constexpr double keyTextAlpha = 0.85;

/// The desktop gives the pointer in device pixels; Qt places windows in its own, scaled units.
QPointF toLogical(platform::ScreenPoint p)
{
    const QPointF point(p.x, p.y);
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect g = screen->geometry();
        const double ratio = screen->devicePixelRatio();
        if (QRectF(g.topLeft(), QSizeF(g.size()) * ratio).contains(point))
            return g.topLeft() + (point - g.topLeft()) / ratio;
    }
    return point;
}

}  // namespace

/// The capsule itself: it paints the button and reports a press anywhere on it.
class SuggestionPrompt::Panel final : public QWidget {
public:
    explicit Panel(SuggestionPrompt& owner)
        : QWidget(nullptr,
                  Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus),
          m_owner(owner)
    {
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_TranslucentBackground);
        setFocusPolicy(Qt::NoFocus);
        setCursor(Qt::PointingHandCursor);
        const int content = QFontMetrics(swapFont()).horizontalAdvance("Swap") + gap + 1 + gap +
                            QFontMetrics(keyFont()).horizontalAdvance(keyText());
        // The Linux spelling of the hot key is longer than the glyphs it replaces, and the user's
        // text may be larger: the capsule grows to hold it rather than clip it.
        setFixedSize(std::max(qRound(Typography::scaled(narrowestWidth)), content + 2 * horizontalPadding),
                     qRound(Typography::scaled(panelHeight)));
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        event->accept();
        // Read at the moment of the click, so a handler replaced later is the one that runs.
        if (m_owner.onClick)
            m_owner.onClick();
    }

    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(capsuleBlue);
        painter.drawRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);

        const QFontMetrics swapMetrics(swapFont());
        const QFontMetrics keyMetrics(keyFont());
        const int swapWidth = swapMetrics.horizontalAdvance("Swap");
        const int content = swapWidth + gap + 1 + gap + keyMetrics.horizontalAdvance(keyText());
        double x = (width() - content) / 2.0;
        const double mid = height() / 2.0;

        painter.setFont(swapFont());
        painter.setPen(Qt::white);
        painter.drawText(QRectF(x, 0, swapWidth, height()), Qt::AlignVCenter | Qt::AlignLeft, "Swap");
        x += swapWidth + gap;
        const double bar = Typography::scaled(13);
        painter.fillRect(QRectF(x, mid - bar / 2, 1, bar), SystemColors::withAlpha(Qt::white, 0.3));
        x += 1 + gap;
        painter.setFont(keyFont());
        painter.setPen(SystemColors::withAlpha(Qt::white, keyTextAlpha));
        painter.drawText(QRectF(x, 0, width() - x, height()), Qt::AlignVCenter | Qt::AlignLeft, keyText());
    }

private:
    static QFont swapFont() { return Typography::font(Typography::body, QFont::DemiBold); }
    static QFont keyFont() { return Typography::font(Typography::callout); }
    static QString keyText()
    {
        return QString::fromUtf8(convertHotKeyText.data(), qsizetype(convertHotKeyText.size()));
    }

    SuggestionPrompt& m_owner;
};

SuggestionPrompt::SuggestionPrompt() = default;

SuggestionPrompt::~SuggestionPrompt() = default;

QWidget* SuggestionPrompt::panel() const
{
    return m_panel.get();
}

QPoint SuggestionPrompt::placement(QPointF pointer, QSize size, const std::vector<Screen>& screens,
                                   const std::optional<QRect>& mainAvailable)
{
    // Up and to the right of the pointer: the panel's bottom edge sits offset above it.
    double x = pointer.x() + offset;
    double y = pointer.y() - offset - size.height();
    std::optional<QRect> area = mainAvailable;
    const auto holding =
        std::ranges::find_if(screens, [&](const Screen& s) { return QRectF(s.frame).contains(pointer); });
    if (holding != screens.end())
        area = holding->available;
    if (area) {
        const QRectF a(*area);
        // Far edges first, then the top and right ones, which win on an area too small for the panel.
        x = std::max(x, a.left() + edge);
        x = std::min(x, a.right() - size.width() - edge);
        y = std::min(y, a.bottom() - size.height() - edge);
        y = std::max(y, a.top() + edge);
    }
    return QPoint(int(std::lround(x)), int(std::lround(y)));
}

void SuggestionPrompt::show(platform::ScreenPoint at)
{
    if (!m_panel) {
        m_panel = std::make_unique<Panel>(*this);
        m_fade = new QPropertyAnimation(m_panel.get(), "windowOpacity", m_panel.get());
        QObject::connect(m_fade, &QPropertyAnimation::finished, m_panel.get(), [this] {
            if (m_fadingOut) {
                m_fadingOut = false;
                m_panel->QWidget::hide();
            }
        });
    }
    std::vector<Screen> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.push_back({screen->geometry(), screen->availableGeometry()});
    std::optional<QRect> mainAvailable;
    if (const QScreen* primary = QGuiApplication::primaryScreen())
        mainAvailable = primary->availableGeometry();
    m_panel->move(placement(toLogical(at), m_panel->size(), screens, mainAvailable));
    // Without a compositor the transparent corners would show black; the window takes the capsule's
    // shape instead. Asked at each show, as a compositor may start or stop meanwhile.
    if (Compositing::active())
        m_panel->clearMask();
    else
        m_panel->setMask(Compositing::roundedMask(m_panel->size(), cornerRadius));

    // A show during a fade-out cancels it: the prompt must not vanish under a waiting swap.
    m_fade->stop();
    m_fadingOut = false;
    m_panel->setWindowOpacity(0);
    m_panel->QWidget::show();
    m_panel->raise();
    m_fade->setDuration(fadeInMilliseconds);
    m_fade->setStartValue(0.0);
    m_fade->setEndValue(1.0);
    m_fade->start();
}

void SuggestionPrompt::hide()
{
    if (!m_panel || !m_panel->isVisible())
        return;
    m_fade->stop();
    m_fade->setDuration(fadeOutMilliseconds);
    m_fade->setStartValue(m_panel->windowOpacity());
    m_fade->setEndValue(0.0);
    m_fadingOut = true;
    m_fade->start();
}

bool SuggestionPrompt::contains(platform::ScreenPoint point) const
{
    if (!m_panel || !m_panel->isVisible() || m_panel->windowOpacity() <= 0.1)
        return false;
    const QPointF p = toLogical(point);
    const QRectF frame(m_panel->frameGeometry());
    return p.x() >= frame.left() && p.x() < frame.right() && p.y() >= frame.top() && p.y() < frame.bottom();
}

}  // namespace kx
