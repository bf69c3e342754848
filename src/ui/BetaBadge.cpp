#include "ui/BetaBadge.h"

#include "ui/SystemColors.h"
#include "ui/Typography.h"

namespace kx {

namespace {

PillLabel::Look badgeLook()
{
    return {.font = Typography::font(9, QFont::Bold),
            .text = SystemColors::secondaryLabel(nullptr),
            .fill = SystemColors::withAlpha(SystemColors::secondaryLabel(nullptr), 0.15),
            .radius = -1,
            .paddingX = 5,
            .paddingY = 2};
}

}  // namespace

BetaBadge::BetaBadge(QWidget* parent) : PillLabel(QStringLiteral("BETA"), badgeLook(), parent) {}

}  // namespace kx
