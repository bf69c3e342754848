#pragma once
// The pointer's location from the display the application is connected to.

#include "platform/Pointer.h"

namespace kx::platform::x11 {

class QtPointer final : public Pointer {
public:
    ScreenPoint location() override;
};

}  // namespace kx::platform::x11
