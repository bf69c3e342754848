#pragma once
// The simulated desktop handed to the controller: the scenario tests and the running-text measure
// build the controller over it.

#include "controller/AppServices.h"
#include "platform/sim/SimDesktop.h"

namespace kx::test {

/// Hands the controller desk's services: everything but the queues, the views and the spell
/// checker, which the caller brings.
inline void provide(sim::SimDesktop& desk, AppServices& services)
{
    services.inputSources = &desk.inputSources();
    services.eventTap = &desk.eventTap();
    services.eventPoster = &desk.eventPoster();
    services.pasteboard = &desk.pasteboard();
    services.accessibility = &desk.accessibility();
    services.secureInput = &desk.secureInput();
    services.permissions = &desk.permissions();
    services.pointer = &desk.pointer();
    services.workspace = &desk.workspace();
    services.loginItem = &desk.loginItem();
    services.sound = &desk.sound();
}

}  // namespace kx::test
