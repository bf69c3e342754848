#pragma once
// Registering the program to start at login: offered once at the first start, switched in the
// General tab.

#include "platform/LoginItem.h"

namespace kx {

class LoginItem {
public:
    /// True when the registration is in the asked state afterwards. A registration already in that
    /// state is left alone; a refusal is logged with the system's reason and answers false.
    static bool setEnabled(platform::LoginItem& service, bool enabled);
};

}  // namespace kx
