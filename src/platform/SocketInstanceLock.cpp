#include "platform/SocketInstanceLock.h"

#include "platform/Log.h"

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace kx::platform {

SocketInstanceLock::SocketInstanceLock()
    : SocketInstanceLock(std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "")
{
}

SocketInstanceLock::SocketInstanceLock(std::string display) : m_server(serverOf(display)) {}

SocketInstanceLock::~SocketInstanceLock()
{
    for (const auto& [name, socket] : m_held)
        ::close(socket);
}

std::string SocketInstanceLock::serverOf(const std::string& display)
{
    const auto colon = display.rfind(':');
    if (colon == std::string::npos)
        return display;
    std::string host = display.substr(0, colon);
    if (host == "unix")
        host.clear();
    std::string number = display.substr(colon + 1);
    if (const auto dot = number.find('.'); dot != std::string::npos)
        number.resize(dot);
    return host + ":" + number;
}

std::string SocketInstanceLock::addressFor(const std::string& name) const
{
    return name + "." + std::to_string(::getuid()) + "." + m_server;
}

LockResult SocketInstanceLock::tryAcquire(const std::string& name)
{
    if (m_held.contains(name))
        return LockResult::acquired;
    const std::string address = addressFor(name);
    sockaddr_un socketAddress{};
    socketAddress.sun_family = AF_UNIX;
    // The leading NUL puts the name in the abstract namespace: no file, nothing left behind.
    if (address.size() + 1 > sizeof(socketAddress.sun_path)) {
        Log::line("instance lock: name too long: " + name);
        return LockResult::failed;
    }
    std::memcpy(socketAddress.sun_path + 1, address.data(), address.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + address.size());

    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0) {
        Log::line(std::string("instance lock: no socket: ") + std::strerror(errno));
        return LockResult::failed;
    }
    if (::bind(socket, reinterpret_cast<const sockaddr*>(&socketAddress), length) != 0) {
        const int error = errno;
        ::close(socket);
        if (error == EADDRINUSE)
            return LockResult::heldElsewhere;
        Log::line(std::string("instance lock: cannot claim the name: ") + std::strerror(error));
        return LockResult::failed;
    }
    m_held.emplace(name, socket);
    return LockResult::acquired;
}

}  // namespace kx::platform
