#pragma once
// The process behind an X resource, as the server knows it (XRes 1.2): only for clients on this
// machine, since a remote client's pid means nothing here.

struct _XDisplay;

namespace kx::platform::x11 {

/// The pid of the client that created window; 0 when the server cannot tell (a remote client, no
/// XRes 1.2, a window that is gone).
int clientPid(_XDisplay* display, unsigned long window);

}  // namespace kx::platform::x11
