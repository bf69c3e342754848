#pragma once
// Counts the keymap changes every X client is told of, as a client of its own: the core
// MappingNotify each change sends to everyone, and the XKB map notices that XKB-aware clients
// (toolkits, the window manager) get and answer by reloading their keymap.

#include <memory>

struct _XDisplay;

namespace kx::test {

struct KeymapChanges {
    int core = 0;
    int xkb = 0;
};

class KeymapWatch {
public:
    /// Watches from now on; counts nothing when the display cannot be opened.
    KeymapWatch();
    KeymapWatch(const KeymapWatch&) = delete;
    KeymapWatch& operator=(const KeymapWatch&) = delete;
    ~KeymapWatch();

    /// The changes the server announced since the last take (or since the watch began).
    KeymapChanges take();

private:
    _XDisplay* m_display = nullptr;
    int m_xkbEventBase = 0;
};

}  // namespace kx::test
