#pragma once
// The fixture of the tests that post keys on the shared desktop: us and il as its layouts, its
// keyboard open and a poster on it; skipped when there is no desktop.

#include "DesktopSession.h"
#include "KeyboardScene.h"
#include "platform/x11/X11EventPoster.h"

#include <gtest/gtest.h>

#include <memory>

namespace kx::test {

class KeyboardFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!DesktopSession::shared().ready())
            GTEST_SKIP() << DesktopSession::shared().why();
        ASSERT_TRUE(setLayouts({"us", "il"}));
        keyboard = platform::x11::X11Keyboard::open();
        ASSERT_TRUE(keyboard);
        poster = std::make_unique<platform::x11::X11EventPoster>(keyboard);
    }

    std::shared_ptr<platform::x11::X11Keyboard> keyboard;
    std::unique_ptr<platform::x11::X11EventPoster> poster;
};

}  // namespace kx::test
