#pragma once
// What the setup window, the walkthrough and the drill reach outside themselves. Set once by the
// entry point before any of them is shown; everything must outlive the windows, which live for
// the whole process.

#include "controller/PageOpener.h"
#include "platform/Defaults.h"
#include "platform/EventPoster.h"
#include "platform/InputSources.h"
#include "platform/MainQueue.h"
#include "platform/Permissions.h"
#include "stores/HistoryStore.h"

namespace kx {

struct OnboardingServices {
    MainQueue* main = nullptr;
    Defaults* defaults = nullptr;
    platform::Permissions* permissions = nullptr;
    /// Tells how to get each permission on this desktop.
    PageOpener* pages = nullptr;
    /// The drill's keys.
    platform::EventPoster* eventPoster = nullptr;
    platform::InputSources* inputSources = nullptr;
    /// The corrector's history, which the drill reads; optional.
    const HistoryStore* history = nullptr;

    static OnboardingServices& shared()
    {
        static OnboardingServices services;
        return services;
    }
};

}  // namespace kx
