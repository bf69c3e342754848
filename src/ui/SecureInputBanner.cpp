#include "ui/SecureInputBanner.h"

#include "platform/Text.h"
#include "ui/Symbols.h"
#include "ui/SystemColors.h"
#include "ui/Typography.h"

#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>

#include <cmath>

namespace kx {

namespace {

constexpr int sideInset = 21;
constexpr int verticalInset = 10;
constexpr int textWidth = 258;

QTextCharFormat format(double size, QFont::Weight weight, const QColor& color)
{
    QTextCharFormat f;
    f.setFont(Typography::font(size, weight));
    f.setForeground(color);
    return f;
}

constexpr int symbolSide = 13;

// Draws the symbol name where the text has emoji: a desktop without an emoji font would show an
// empty box. The image is named by the emoji, so text() still reads it.
void insertSymbol(QTextCursor& cursor, std::string_view name, const QColor& color, const QString& emoji,
                  const QTextCharFormat& around)
{
    QTextDocument& document = *cursor.document();
    if (!document.resource(QTextDocument::ImageResource, QUrl(emoji)).isValid())
        document.addResource(QTextDocument::ImageResource, QUrl(emoji),
                             Symbols::pixmap(name, symbolSide, color).toImage());
    QTextImageFormat image;
    image.merge(around);
    image.setName(emoji);
    image.setWidth(symbolSide);
    image.setHeight(symbolSide);
    cursor.insertImage(image);
}

}  // namespace

QString SecureInputBanner::shortName(const std::string& holder)
{
    const std::string name = holder.empty() ? "another program" : holder;
    const auto characters = text::characters(name);
    if (characters.size() < 33)
        return QString::fromStdString(name);
    std::string cut;
    for (std::size_t i = 0; i < 31; ++i)
        cut += characters[i];
    return QString::fromStdString(cut + "…");
}

SecureInputBanner::SecureInputBanner(const std::string& holder, bool stuck, QWidget* parent) : QWidget(parent)
{
    const QColor label = SystemColors::label(this);
    m_text.setDocumentMargin(0);
    m_text.setDefaultFont(Typography::font(12));
    m_text.setTextWidth(textWidth);
    // Text goes in through a cursor, never as markup: an application's name is shown as it is.
    QTextCursor cursor(&m_text);
    if (stuck) {
        const QString name = holder.empty() ? QString("a program") : QString::fromStdString(holder);
        const QTextCharFormat title = format(12.5, QFont::DemiBold, label);
        const QString warning = QString::fromUtf8("⚠️");
        insertSymbol(cursor, "exclamationmark.triangle.fill", SystemColors::orange(), warning, title);
        cursor.insertText(QStringLiteral(" Keyboard held "), title);
        insertSymbol(cursor, "exclamationmark.triangle.fill", SystemColors::orange(), warning, title);
        cursor.insertBlock();
        cursor.insertText("A bug in " + name + " left the keyboard held, and it blocks Kestrelix in every app.",
                          format(12, QFont::Normal, label));
        cursor.insertBlock();
        cursor.insertBlock();
        cursor.insertText("To clear it: log out of your desktop session, then log back in.",
                          format(12, QFont::Normal, label));
    } else {
        const QTextCharFormat body = format(12, QFont::Normal, label);
        insertSymbol(cursor, "lock.fill", label, QString::fromUtf8("🔒"), body);
        cursor.insertText(" Paused while " + shortName(holder) + " holds the keyboard.", body);
    }
    const int h = std::max(int(std::ceil(m_text.size().height())) + 2 * verticalInset, minimumHeight);
    // The text keeps its width; in a wider menu only the box grows.
    setFixedHeight(h);
    setMinimumWidth(bannerWidth);
    resize(bannerWidth, h);
}

QString SecureInputBanner::text() const
{
    QString out;
    for (QTextBlock block = m_text.begin(); block.isValid(); block = block.next()) {
        if (block != m_text.begin())
            out += '\n';
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextImageFormat image = fragment.charFormat().toImageFormat();
            out += image.isValid() ? image.name().repeated(fragment.length()) : fragment.text();
        }
    }
    return out;
}

void SecureInputBanner::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(10, 4, -10, -4);
    painter.setBrush(SystemColors::withAlpha(SystemColors::red(), 0.12));
    painter.setPen(QPen(SystemColors::withAlpha(SystemColors::red(), 0.35), 1));
    painter.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), 7, 7);

    // The text block is centred vertically in the space between the insets, like a wrapping label.
    const double top = verticalInset + (height() - 2 * verticalInset - m_text.size().height()) / 2;
    painter.translate(sideInset, top);
    m_text.drawContents(&painter);
}

}  // namespace kx
