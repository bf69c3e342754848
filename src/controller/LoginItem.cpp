#include "controller/LoginItem.h"

#include "platform/Log.h"

namespace kx {

bool LoginItem::setEnabled(platform::LoginItem& service, bool enabled)
{
    using Status = platform::LoginItem::Status;
    const Status status = service.status();
    if (enabled && status == Status::enabled)
        return true;
    if (!enabled && status == Status::notRegistered)
        return true;
    const auto failure = enabled ? service.register_() : service.unregister();
    if (!failure)
        return true;
    Log::line("login item toggle failed: " + failure->message);
    return false;
}

}  // namespace kx
