#pragma once
// Whether the accessibility bus can be trusted to tell us where the focus is: the bus connection
// lives, and its registry (at-spi2-registryd) lists our event listeners. A registry that restarts
// forgets them until libatspi registers them again, and an application that starts meanwhile
// sends us no focus events: its password field would go unseen. These questions are kept apart
// from how focus is learnt, which may change. Each call blocks for at most timeoutMs; call them
// on the thread that owns the connection.

#include <string>

typedef struct DBusConnection DBusConnection;

namespace kx::platform::x11::atspibus {

/// Whether name is the registry's well-known name.
bool isRegistryName(const char* name);
/// Asks the bus to tell this connection when the registry's name changes owner.
void watchRegistry(DBusConnection* bus);
/// Whether the connection to the accessibility bus is still up.
bool connected(DBusConnection* bus);
/// The unique bus name that owns the registry's name; empty when no one does or nothing answers.
std::string registryOwner(DBusConnection* bus, int timeoutMs);
/// Whether the registry lists an event listener of this connection; asking starts a registry that
/// is not running. False when nothing answers; true from a registry that cannot list them.
bool registryListsUs(DBusConnection* bus, int timeoutMs);

}  // namespace kx::platform::x11::atspibus
