#pragma once
// "BETA" on a grey capsule, beside the program's name in the settings window's header.

#include "ui/PillLabel.h"

namespace kx {

class BetaBadge : public PillLabel {
    Q_OBJECT

public:
    explicit BetaBadge(QWidget* parent = nullptr);
};

}  // namespace kx
