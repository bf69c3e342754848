#pragma once
// The tap and the poster of an X server that lacks XKB, XTEST or RECORD: nothing is tapped or
// posted. The permissions then report Input Monitoring missing, so the corrector stays off, with
// the tray item in its off form and the setup window, as for a permission not granted.

#include "platform/EventPoster.h"
#include "platform/EventTap.h"

namespace kx {

class UnavailableEventTap final : public platform::EventTap {
public:
    bool install(platform::TapHandler) override { return false; }
    void enable() override {}
};

class UnavailableEventPoster final : public platform::EventPoster {
public:
    bool post(const platform::SyntheticKey&) override { return false; }
};

}  // namespace kx
