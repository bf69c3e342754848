#include "ui/CorrectionRow.h"

#include "ui/AppIconCache.h"
#include "ui/FocusRing.h"
#include "ui/PillLabel.h"
#include "ui/Symbols.h"
#include "ui/SystemColors.h"
#include "ui/Typography.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace kx {

namespace {

constexpr int wordLinesMax = 3;

PillLabel* chip(const std::string& text, const QWidget* context)
{
    return new PillLabel(QString::fromStdString(text),
                         {.font = Typography::font(10, QFont::Medium),
                          .text = SystemColors::secondaryLabel(context),
                          .fill = SystemColors::withAlpha(SystemColors::label(context), 0.1),
                          .radius = 5,
                          .paddingX = 6,
                          .paddingY = 2});
}

QLabel* captionLabel(const QString& text, QFont::Weight weight, const QColor& color)
{
    auto* label = new QLabel(text);
    // Application names are shown as they are, never read as markup.
    label->setTextFormat(Qt::PlainText);
    label->setFont(Typography::font(Typography::caption, weight));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

}  // namespace

CorrectionRow::Thumb::Thumb(Rating rating, const char* symbol, QColor color, bool lit, QWidget* parent)
    : QAbstractButton(parent), m_rating(rating), m_symbol(symbol), m_color(color), m_lit(lit)
{
    setFixedSize(sizeHint());
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(QString::fromLatin1(symbol));
}

void CorrectionRow::Thumb::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const std::string name = m_lit ? std::string(m_symbol) + ".fill" : std::string(m_symbol);
    const QColor color = m_lit ? m_color : SystemColors::secondaryLabel(this);
    const double side = 14;
    Symbols::paint(painter, QRectF((width() - side) / 2, (height() - side) / 2, side, side), name, color);
    FocusRing::paint(painter, *this, rect(), 6);
}

CorrectionRow::CorrectionRow(const CorrectionRecord& rec, bool showThumbs, std::function<void(Rating)> rate,
                             QWidget* parent)
    : QWidget(parent), m_recordID(rec.id)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);

    auto* icon = new QLabel(this);
    icon->setFixedSize(26, 27);
    icon->setAlignment(Qt::AlignBottom | Qt::AlignLeft);
    icon->setPixmap(AppIconCache::icon(rec.appBundleID).pixmap(QSize(26, 26), 2.0));
    layout->addWidget(icon, 0, Qt::AlignTop);

    auto* lines = new QVBoxLayout;
    lines->setSpacing(5);
    auto* top = new QHBoxLayout;
    top->setSpacing(6);
    top->addWidget(captionLabel(QString::fromStdString(rec.appName), QFont::Medium, SystemColors::label(this)));
    top->addWidget(captionLabel(timeText(rec.at), QFont::Normal, SystemColors::secondaryLabel(this)));
    const QColor kind = kindColor(rec.kind);
    top->addWidget(new PillLabel(badgeText(rec), {.font = Typography::font(9, QFont::DemiBold),
                                                  .text = kind,
                                                  .fill = SystemColors::withAlpha(kind, 0.15),
                                                  .radius = -1,
                                                  .paddingX = 5,
                                                  .paddingY = 1}));
    top->addStretch(1);
    lines->addLayout(top);

    // The texts are the user's own typing: escaped, never read as markup.
    const QString words = QStringLiteral("<span style=\"color:%1; text-decoration:line-through\">%2</span>"
                                         "&nbsp;&nbsp;<span style=\"color:%3\">→</span>&nbsp;&nbsp;"
                                         "<span style=\"font-weight:600\">%4</span>")
                              .arg(SystemColors::secondaryLabel(this).name(QColor::HexArgb),
                                   QString::fromStdString(rec.original).toHtmlEscaped(),
                                   SystemColors::tertiaryLabel(this).name(QColor::HexArgb),
                                   QString::fromStdString(rec.corrected).toHtmlEscaped());
    m_words = new QLabel(words, this);
    m_words->setTextFormat(Qt::RichText);
    m_words->setFont(Typography::rounded(Typography::callout));
    m_words->setWordWrap(true);
    m_words->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_words->setMaximumHeight(QFontMetrics(m_words->font()).lineSpacing() * wordLinesMax + 2);
    lines->addWidget(m_words);

    auto* layouts = new QHBoxLayout;
    layouts->setSpacing(5);
    layouts->addWidget(chip(rec.fromLayout, this));
    auto* arrow = new QLabel(this);
    arrow->setPixmap(Symbols::pixmap("arrow.right", 8, SystemColors::tertiaryLabel(this)));
    layouts->addWidget(arrow);
    layouts->addWidget(chip(rec.toLayout, this));
    layouts->addStretch(1);
    lines->addLayout(layouts);
    layout->addLayout(lines, 1);

    if (!showThumbs)
        return;
    auto* thumbs = new QHBoxLayout;
    thumbs->setSpacing(2);
    m_up = new Thumb(Rating::up, "hand.thumbsup", QColor(0x34, 0xC7, 0x59), rec.rating == Rating::up, this);
    m_down = new Thumb(Rating::down, "hand.thumbsdown", SystemColors::red(), rec.rating == Rating::down, this);
    for (Thumb* thumb : {m_up, m_down}) {
        connect(thumb, &QAbstractButton::clicked, this, [rate, thumb] {
            if (rate)
                rate(thumb->rating());
        });
        thumbs->addWidget(thumb);
    }
    layout->addLayout(thumbs);
    layout->setAlignment(thumbs, Qt::AlignTop);
}

QString CorrectionRow::badgeText(const CorrectionRecord& rec)
{
    if (rec.kind == CorrectionKind::retro)
        return QString::fromUtf8("RETRO ×%1").arg(rec.retroCount);
    return QString::fromLatin1(rawValue(rec.kind).data(), qsizetype(rawValue(rec.kind).size())).toUpper();
}

QColor CorrectionRow::kindColor(CorrectionKind kind)
{
    switch (kind) {
    case CorrectionKind::auto_:
        return SystemColors::blue();
    case CorrectionKind::retro:
        return QColor(0xAF, 0x52, 0xDE);
    case CorrectionKind::manual:
        return SystemColors::orange();
    case CorrectionKind::orphan:
        return QColor(0xFF, 0x2D, 0x55);
    }
    return SystemColors::blue();
}

QString CorrectionRow::timeText(std::chrono::system_clock::time_point at)
{
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(at.time_since_epoch()).count();
    // Some locales' short format carries seconds; the row shows hours and minutes only.
    QString format = QLocale().timeFormat(QLocale::ShortFormat);
    format.remove(QRegularExpression(QStringLiteral("[:.]ss?")));
    return QLocale().toString(QDateTime::fromSecsSinceEpoch(seconds).time(), format);
}

}  // namespace kx
