#pragma once
// Whether the accessibility bus can be asked where the focus is: the bus connection lives, and its
// registry (at-spi2-registryd), which lists the accessible applications, answers. These questions
// are kept apart from how focus is learnt. Each call blocks for at most timeoutMs; call them on the
// thread that owns the connection.

#include <memory>
#include <string>

typedef struct DBusConnection DBusConnection;

namespace kx::platform::x11::atspibus {

/// A private connection of ours: closed, then let go, when the handle goes.
struct ConnectionClose {
    void operator()(DBusConnection* bus) const;
};
using ConnectionPtr = std::unique_ptr<DBusConnection, ConnectionClose>;

/// The address of the session's accessibility bus: $AT_SPI_BUS_ADDRESS, else what the session
/// bus's accessibility service answers (asking starts it); empty when there is none.
std::string address(int timeoutMs);
/// Whether name is the registry's well-known name.
bool isRegistryName(const char* name);
/// Asks the bus to tell this connection when the registry's name changes owner.
void watchRegistry(DBusConnection* bus);
/// Whether the connection to the accessibility bus is still up.
bool connected(DBusConnection* bus);
/// Whether the registry answers; asking starts a registry that is not running.
bool registryAnswers(DBusConnection* bus, int timeoutMs);

}  // namespace kx::platform::x11::atspibus
