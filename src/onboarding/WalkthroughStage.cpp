#include "onboarding/WalkthroughStage.h"

#include "controller/HotKeyText.h"
#include "ui/Assets.h"
#include "ui/FocusRing.h"
#include "ui/Symbols.h"
#include "ui/SystemColors.h"
#include "ui/Typography.h"

#include <QDateTime>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <array>
#include <cmath>

namespace kx {

namespace {

constexpr std::array<std::pair<WalkStep, const char*>, 3> modeButtons = {
    {{WalkStep::automatic, "Automatic"}, {WalkStep::ask, "Ask"}, {WalkStep::manual, "Manual"}}};

constexpr double fieldHeight = 66;
constexpr double fieldPaddingBelow = 16;
constexpr double stripHeight = 32;

double rowHeight()
{
    return 22 + QFontMetricsF(Typography::font(13.5, QFont::DemiBold)).height() +
           QFontMetricsF(Typography::font(11.5)).height();
}

QImage greyed(const QImage& source)
{
    QImage image = source.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grey = qGray(line[x]);
            line[x] = qRgba(grey, grey, grey, qAlpha(line[x]));
        }
    }
    return image;
}

void drawCapsule(QPainter& painter, const QRectF& rect, const QColor& fill, const QColor& border)
{
    painter.setPen(border.alpha() ? QPen(border, 1) : Qt::NoPen);
    painter.setBrush(fill);
    const double radius = rect.height() / 2;
    painter.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
}

}  // namespace

WalkthroughStage::Tween::Tween(QWidget& owner, double value, int milliseconds, QEasingCurve curve)
    : m_value(value), m_target(value)
{
    m_animation.setDuration(milliseconds);
    m_animation.setEasingCurve(curve);
    QObject::connect(&m_animation, &QVariantAnimation::valueChanged, &owner, [this, &owner](const QVariant& v) {
        m_value = v.toDouble();
        owner.update();
    });
}

void WalkthroughStage::Tween::towards(double target)
{
    if (target == m_target)
        return;
    m_target = target;
    m_animation.stop();
    m_animation.setStartValue(m_value);
    m_animation.setEndValue(target);
    m_animation.start();
}

WalkthroughStage::WalkthroughStage(WalkthroughModel& model, std::function<void(platform::Permission)> explain,
                                   QWidget* parent)
    : QWidget(parent),
      m_model(model),
      m_explain(std::move(explain)),
      m_logo(Assets::logo()),
      m_greyLogo(m_logo.isNull() ? QImage() : greyed(m_logo)),
      m_cut(*this, model.wireCut() ? 1 : 0, 280, QEasingCurve::InOutQuad),
      m_lift(*this, 0, 280, QEasingCurve::OutBack),
      m_press(*this, 0, 150, QEasingCurve::OutQuad),
      m_lit(*this, 0, 160, QEasingCurve::OutQuad),
      m_accessibility(*this, 0, 200, QEasingCurve::InOutQuad),
      m_inputMonitoring(*this, 0, 200, QEasingCurve::InOutQuad)
{
    // The dashes travel one whole pattern every 0.7 s, at about 30 frames a second.
    m_wireTimer.setInterval(33);
    connect(&m_wireTimer, &QTimer::timeout, this, [this] { update(wireRect().toAlignedRect()); });
    setFocusPolicy(Qt::StrongFocus);
    follow();
}

WalkthroughStage::~WalkthroughStage() = default;

void WalkthroughStage::follow()
{
    const auto& state = m_model.state();
    m_cut.towards(m_model.wireCut() ? 1 : 0);
    m_lift.towards(state.languageLifted ? 1 : 0);
    m_press.towards(state.capsulePressed ? 1 : 0);
    m_lit.towards(state.keysLit ? 1 : 0);
    m_accessibility.towards(state.accessibility ? 1 : 0);
    m_inputMonitoring.towards(state.inputMonitoring ? 1 : 0);
    // The dashes run only while the wire is whole and on screen.
    if (m_model.wireCut() || !isVisible())
        m_wireTimer.stop();
    else if (!m_wireTimer.isActive())
        m_wireTimer.start();
    // Leaving the permissions step takes its rows away.
    m_keyboardItem = std::min(m_keyboardItem, itemCount() - 1);
    updateGeometry();
    update();
}

QSize WalkthroughStage::sizeHint() const
{
    const double lower = std::max(fieldHeight + fieldPaddingBelow, 2 * rowHeight() + 1 + 16);
    return QSize(620, static_cast<int>(std::ceil(18 + 42 + 6 + 34 + 6 + stripHeight + 18 + lower + 26)));
}

QSize WalkthroughStage::minimumSizeHint() const
{
    const QRectF content = contentRect();
    const double margins = width() - content.width();
    return QSize(static_cast<int>(std::ceil(stripWidthLimit + margins)), sizeHint().height());
}

QRectF WalkthroughStage::contentRect() const
{
    return QRectF(rect()).adjusted(24, 18, -24, -26);
}

QRectF WalkthroughStage::logoRect() const
{
    const QRectF content = contentRect();
    return QRectF(content.center().x() - 27, content.top(), 54, 42);
}

QRectF WalkthroughStage::wireRect() const
{
    const QRectF logo = logoRect();
    return QRectF(logo.center().x() - 8, logo.bottom() + 6, 16, 34);
}

QRectF WalkthroughStage::stripRect() const
{
    const QRectF content = contentRect();
    const double width = std::min(stripWidthLimit, content.width());
    return QRectF(content.center().x() - width / 2, wireRect().bottom() + 6, width, stripHeight);
}

QRectF WalkthroughStage::lowerRect() const
{
    const QRectF content = contentRect();
    const double width = std::min(fieldWidthLimit, content.width());
    const double height = m_model.state().step == WalkStep::permissions ? 2 * rowHeight() + 1 : fieldHeight;
    return QRectF(content.center().x() - width / 2, stripRect().bottom() + 18, width, height);
}

QRectF WalkthroughStage::modeButtonRect(WalkStep step) const
{
    const QRectF inner = stripRect().adjusted(2, 2, -2, -2);
    const double width = inner.width() / 3;
    for (std::size_t i = 0; i < modeButtons.size(); ++i)
        if (modeButtons[i].first == step)
            return QRectF(inner.left() + width * static_cast<double>(i), inner.top(), width, inner.height());
    return {};
}

QRectF WalkthroughStage::permissionRowRect(int row) const
{
    if (m_model.state().step != WalkStep::permissions || row < 0 || row > 1)
        return {};
    const QRectF panel = lowerRect();
    return QRectF(panel.left(), panel.top() + row * (rowHeight() + 1), panel.width(), rowHeight());
}

QColor WalkthroughStage::primary(double alpha) const
{
    return SystemColors::withAlpha(SystemColors::label(this), alpha);
}

QColor WalkthroughStage::secondary(double alpha) const
{
    return SystemColors::withAlpha(SystemColors::secondaryLabel(this), alpha);
}

QColor WalkthroughStage::textBackground() const
{
    return palette().color(QPalette::Base);
}

void WalkthroughStage::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    paintLogo(painter);
    paintWire(painter);
    paintStrip(painter);
    if (m_model.state().step == WalkStep::permissions)
        paintPermissions(painter);
    else
        paintField(painter);
    const bool onCurrentMode = m_keyboardItem < int(modeButtons.size()) &&
                               modeButtons[std::size_t(m_keyboardItem)].first == m_model.state().step &&
                               !m_model.wireCut();
    FocusRing::paint(painter, *this, itemRect(m_keyboardItem), m_keyboardItem < int(modeButtons.size()) ? 7 : 10,
                     onCurrentMode);
}

int WalkthroughStage::itemCount() const
{
    return int(modeButtons.size()) + (m_model.state().step == WalkStep::permissions ? 2 : 0);
}

QRectF WalkthroughStage::itemRect(int item) const
{
    if (item < int(modeButtons.size()))
        return modeButtonRect(modeButtons[std::size_t(item)].first);
    return permissionRowRect(item - int(modeButtons.size()));
}

void WalkthroughStage::press(int item)
{
    if (item < int(modeButtons.size()))
        m_model.go(modeButtons[std::size_t(item)].first);
    else
        m_explain(item == int(modeButtons.size()) ? platform::Permission::accessibility
                                                  : platform::Permission::inputMonitoring);
}

void WalkthroughStage::focusInEvent(QFocusEvent* event)
{
    // The keyboard starts on the mode being shown.
    for (std::size_t i = 0; i < modeButtons.size(); ++i)
        if (modeButtons[i].first == m_model.state().step)
            m_keyboardItem = int(i);
    QWidget::focusInEvent(event);
}

void WalkthroughStage::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        m_keyboardItem = std::max(0, m_keyboardItem - 1);
        update();
        return;
    case Qt::Key_Right:
    case Qt::Key_Down:
        m_keyboardItem = std::min(itemCount() - 1, m_keyboardItem + 1);
        update();
        return;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        press(m_keyboardItem);
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void WalkthroughStage::paintLogo(QPainter& painter)
{
    const QRectF frame = logoRect();
    const double cut = m_cut.value();
    if (m_logo.isNull()) {
        painter.setFont(Typography::font(30));
        painter.setPen(SystemColors::blend(primary(), secondary(0.32), cut));
        painter.drawText(frame, Qt::AlignCenter, QStringLiteral("\u2328"));
        return;
    }
    const QSizeF size = QSizeF(m_logo.size()).scaled(frame.size(), Qt::KeepAspectRatio);
    const QRectF target(frame.center().x() - size.width() / 2, frame.center().y() - size.height() / 2, size.width(),
                        size.height());
    painter.setOpacity(1 - cut);
    painter.drawImage(target, m_logo);
    painter.setOpacity(0.32 * cut);
    painter.drawImage(target, m_greyLogo);
    painter.setOpacity(1);
}

void WalkthroughStage::paintWire(QPainter& painter)
{
    const QRectF wire = wireRect();
    const double x = wire.center().x();
    const double h = wire.height();
    if (m_model.wireCut()) {
        painter.setPen(QPen(primary(0.18), 2, Qt::SolidLine, Qt::FlatCap));
        painter.drawLine(QPointF(x, wire.top()), QPointF(x, wire.top() + 0.34 * h));
        painter.drawLine(QPointF(x, wire.top() + 0.66 * h), QPointF(x, wire.bottom()));
        painter.setFont(Typography::font(14, QFont::ExtraBold));
        painter.setPen(SystemColors::red());
        painter.drawText(wire.adjusted(-10, 0, 10, 0), Qt::AlignCenter, QStringLiteral("\u2715"));
        return;
    }
    const double seconds = static_cast<double>(QDateTime::currentMSecsSinceEpoch() % 700) / 1000.0;
    QPen pen(primary(0.42), 2, Qt::CustomDashLine, Qt::FlatCap);
    // Pattern and offset count in pen widths: 4 on, 5 off, moving down 9 points every 0.7 s.
    pen.setDashPattern({2.0, 2.5});
    pen.setDashOffset((9.0 - 9.0 * seconds / 0.7) / 2.0);
    painter.setPen(pen);
    painter.drawLine(QPointF(x, wire.top()), QPointF(x, wire.bottom()));
}

void WalkthroughStage::paintStrip(QPainter& painter)
{
    const auto& state = m_model.state();
    const QRectF strip = stripRect();
    const bool cut = m_model.wireCut();
    painter.setOpacity(1 - 0.66 * m_cut.value());
    painter.setPen(Qt::NoPen);
    painter.setBrush(primary(0.07));
    painter.drawRoundedRect(strip, 9, 9);
    for (const auto& [step, title] : modeButtons) {
        const QRectF button = modeButtonRect(step);
        const bool current = step == state.step;
        if (current && !cut) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(SystemColors::blue());
            painter.drawRoundedRect(button, 7, 7);
        }
        painter.setFont(Typography::font(13, current ? QFont::DemiBold : QFont::Normal));
        painter.setPen(current && !cut ? QColor(Qt::white) : primary());
        painter.drawText(button, Qt::AlignCenter, QString::fromUtf8(title));
    }
    painter.setOpacity(1);
}

void WalkthroughStage::paintField(QPainter& painter)
{
    const bool secure = m_model.state().step == WalkStep::secure;
    const QRectF box = lowerRect();
    painter.setPen(QPen(primary(0.14), 1));
    painter.setBrush(secure ? primary(0.04) : textBackground());
    painter.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
    paintFieldContent(painter, box);
    paintBadge(painter, box);
    if (m_model.state().showCapsule)
        paintCapsule(painter, box);
    if (m_model.state().step == WalkStep::manual)
        paintKeycaps(painter, box);
}

void WalkthroughStage::paintFieldContent(QPainter& painter, const QRectF& box)
{
    const auto& state = m_model.state();
    const QRectF inner = box.adjusted(16, 0, -16, 0);
    if (state.step == WalkStep::secure) {
        for (int i = 0; i < 9; ++i) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(secondary(i < state.passwordDots ? 0.75 : 0));
            painter.drawEllipse(QRectF(inner.left() + i * 16, inner.center().y() - 4.5, 9, 9));
        }
        // Drawn, not typed: a desktop without an emoji font would show an empty box.
        Symbols::paint(painter, QRectF(inner.right() - 16, inner.center().y() - 8, 16, 16), "lock.fill", primary());
        return;
    }
    const QFont wordFont = Typography::font(19, QFont::DemiBold);
    const QFontMetricsF metrics(wordFont);
    std::vector<std::string> words = m_model.lineWords();
    std::vector<double> widths;
    for (const auto& word : words)
        widths.push_back(metrics.horizontalAdvance(QString::fromStdString(word)));
    // Right to left, the first word is the rightmost and the caret ends up at the row's left end;
    // the row itself stays at the leading edge.
    std::vector<std::size_t> order(words.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = state.rightToLeft ? order.size() - 1 - i : i;
    double x = inner.left();
    const auto caret = [&] {
        painter.setPen(Qt::NoPen);
        painter.setBrush(SystemColors::blue());
        painter.drawRect(QRectF(x, inner.center().y() - 10.5, 2, 21));
        x += 2 + 6;
    };
    if (state.showCaret && state.rightToLeft)
        caret();
    painter.setFont(wordFont);
    for (const std::size_t i : order) {
        const QRectF word(x, inner.center().y() - metrics.height() / 2, widths[i], metrics.height());
        if (state.selected) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(primary(0.17));
            painter.drawRect(word);
        }
        painter.setPen(primary());
        painter.drawText(word, Qt::AlignCenter, QString::fromStdString(words[i]));
        x += widths[i] + 6;
    }
    if (state.showCaret && !state.rightToLeft)
        caret();
}

void WalkthroughStage::paintBadge(QPainter& painter, const QRectF& box)
{
    const auto& state = m_model.state();
    const QFont badgeFont = Typography::font(10.5, QFont::DemiBold);
    const QFontMetricsF metrics(badgeFont);
    const QString text = QString::fromStdString(state.language);
    const QSizeF size(metrics.horizontalAdvance(text) + 18, metrics.height() + 6);
    const QRectF badge(box.left() + 13, box.bottom() + 11 - size.height(), size.width(), size.height());
    const double lift = m_lift.value();
    painter.save();
    painter.setOpacity(state.step == WalkStep::secure ? 0.5 : 1);
    painter.translate(badge.center() + QPointF(0, -3 * lift));
    painter.scale(1 + 0.14 * lift, 1 + 0.14 * lift);
    const QRectF centred(-size.width() / 2, -size.height() / 2, size.width(), size.height());
    drawCapsule(painter, centred, textBackground(), primary(0.14));
    painter.setFont(badgeFont);
    painter.setPen(secondary());
    painter.drawText(centred, Qt::AlignCenter, text);
    painter.restore();
}

void WalkthroughStage::paintCapsule(QPainter& painter, const QRectF& box)
{
    const QFont swapFont = Typography::font(12.5, QFont::DemiBold);
    const QFont keyFont = Typography::font(11);
    const QString swap = QStringLiteral("Swap");
    const QString keys = QString::fromUtf8(convertHotKeyText.data(), static_cast<int>(convertHotKeyText.size()));
    const double swapWidth = QFontMetricsF(swapFont).horizontalAdvance(swap);
    const double keysWidth = QFontMetricsF(keyFont).horizontalAdvance(keys);
    const double height = QFontMetricsF(swapFont).height() + 10;
    const double width = 10 + swapWidth + 9 + 1 + 9 + keysWidth + 10;
    const QPointF centre(box.center().x(), box.bottom() + 14 - height / 2);
    painter.save();
    painter.translate(centre);
    const double scale = 1 - 0.07 * m_press.value();
    painter.scale(scale, scale);
    QRectF capsule(-width / 2, -height / 2, width, height);
    painter.setPen(Qt::NoPen);
    painter.setBrush(SystemColors::blue());
    painter.drawRoundedRect(capsule, 7, 7);
    double x = capsule.left() + 10;
    painter.setFont(swapFont);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(x, capsule.top(), swapWidth, height), Qt::AlignCenter, swap);
    x += swapWidth + 9;
    painter.fillRect(QRectF(x, -6, 1, 12), SystemColors::withAlpha(Qt::white, 0.34));
    x += 1 + 9;
    painter.setFont(keyFont);
    painter.setPen(SystemColors::withAlpha(Qt::white, 0.72));
    painter.drawText(QRectF(x, capsule.top(), keysWidth, height), Qt::AlignCenter, keys);
    painter.restore();
}

void WalkthroughStage::paintKeycaps(QPainter& painter, const QRectF& box)
{
    const QStringList caps =
        QString::fromUtf8(convertHotKeyText.data(), static_cast<int>(convertHotKeyText.size())).split(QLatin1Char('+'));
    const QFont capFont = Typography::font(12, QFont::DemiBold);
    const QFontMetricsF metrics(capFont);
    const double height = metrics.height() + 8;
    double total = 5.0 * (caps.size() - 1);
    for (const QString& cap : caps)
        total += metrics.horizontalAdvance(cap) + 14;
    double x = box.center().x() - total / 2;
    const double top = box.bottom() + 14 - height;
    const double lit = m_lit.value();
    painter.setFont(capFont);
    for (const QString& cap : caps) {
        const QRectF key(x, top, metrics.horizontalAdvance(cap) + 14, height);
        painter.setPen(QPen(SystemColors::blend(primary(0.14), SystemColors::blue(), lit), 1));
        painter.setBrush(SystemColors::blend(textBackground(), SystemColors::blue(), lit));
        painter.drawRoundedRect(key.adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
        painter.setPen(SystemColors::blend(secondary(), QColor(Qt::white), lit));
        painter.drawText(key, Qt::AlignCenter, cap);
        x += key.width() + 5;
    }
}

void WalkthroughStage::paintPermissions(QPainter& painter)
{
    const QRectF panel = lowerRect();
    painter.setPen(QPen(primary(0.14), 1));
    painter.setBrush(textBackground());
    painter.drawRoundedRect(panel.adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
    paintPermissionRow(painter, permissionRowRect(0), QStringLiteral("Accessibility"),
                       QStringLiteral("So it can replace the word"), m_accessibility.value());
    painter.fillRect(QRectF(panel.left(), permissionRowRect(0).bottom(), panel.width(), 1), primary(0.12));
    paintPermissionRow(painter, permissionRowRect(1), QStringLiteral("Keyboard access"),
                       QStringLiteral("So it can spot the mistake"), m_inputMonitoring.value());
}

void WalkthroughStage::paintPermissionRow(QPainter& painter, const QRectF& row, const QString& title,
                                          const QString& detail, double granted)
{
    const QRectF inner = row.adjusted(14, 11, -14, -11);
    const QRectF mark(inner.left(), inner.center().y() - 9.5, 19, 19);
    painter.setPen(QPen(primary(0.18), 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(mark.adjusted(0.75, 0.75, -0.75, -0.75));
    if (granted > 0) {
        painter.setOpacity(granted);
        painter.setPen(Qt::NoPen);
        painter.setBrush(primary());
        painter.drawEllipse(mark);
        painter.setFont(Typography::font(11, QFont::Bold));
        painter.setPen(textBackground());
        painter.drawText(mark, Qt::AlignCenter, QStringLiteral("✓"));
        painter.setOpacity(1);
    }
    const QFont titleFont = Typography::font(13.5, QFont::DemiBold);
    const QFont detailFont = Typography::font(11.5);
    const double titleHeight = QFontMetricsF(titleFont).height();
    const double textLeft = mark.right() + 11;
    painter.setFont(titleFont);
    painter.setPen(primary());
    painter.drawText(QRectF(textLeft, inner.top(), inner.right() - textLeft, titleHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, title);
    painter.setFont(detailFont);
    painter.setPen(secondary());
    const QRectF detailRect(textLeft, inner.top() + titleHeight, inner.right() - textLeft,
                            inner.height() - titleHeight);
    painter.drawText(detailRect, Qt::AlignLeft | Qt::AlignVCenter, detail);
    if (granted < 1) {
        const QFont openFont = Typography::font(12, QFont::DemiBold);
        const QFontMetricsF metrics(openFont);
        const QString open = QStringLiteral("Open");
        const QSizeF size(metrics.horizontalAdvance(open) + 18, metrics.height() + 6);
        const QRectF button(inner.right() - size.width(), inner.center().y() - size.height() / 2, size.width(),
                            size.height());
        painter.setOpacity(1 - granted);
        painter.setPen(QPen(primary(0.14), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(button.adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
        painter.setFont(openFont);
        painter.setPen(secondary());
        painter.drawText(button, Qt::AlignCenter, open);
        painter.setOpacity(1);
    }
}

void WalkthroughStage::showEvent(QShowEvent*)
{
    follow();
}

void WalkthroughStage::hideEvent(QHideEvent*)
{
    m_wireTimer.stop();
}

void WalkthroughStage::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPointF at = event->position();
    // A mode button, or a permission's whole row, which opens its page granted or not.
    for (int item = 0; item < itemCount(); ++item)
        if (itemRect(item).contains(at)) {
            press(item);
            return;
        }
}

}  // namespace kx
