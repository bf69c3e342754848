#pragma once
// The mouse pointer of the simulated desktop; the desktop moves it when the user clicks.

#include "platform/Pointer.h"

namespace kx::sim {

class SimPointer final : public platform::Pointer {
public:
    platform::ScreenPoint location() override { return where; }

    platform::ScreenPoint where;
};

}  // namespace kx::sim
