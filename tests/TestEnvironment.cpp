// Every test program keeps its files (log, settings, history) in a temporary folder of its own,
// so no test ever touches the user's real files.

#include "TempFolder.h"

#include "platform/Log.h"
#include "platform/Paths.h"

#include <gtest/gtest.h>

namespace kx::test {
namespace {

class PrivateFolders : public ::testing::Environment {
public:
    void SetUp() override
    {
        Paths::setShared(Paths::underRoot(m_root.path()));
        Log::setUrl(Paths::shared().logFile());
    }
    void TearDown() override { Log::flush(); }

private:
    TempFolder m_root{"kx-home"};
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new PrivateFolders);

}  // namespace
}  // namespace kx::test
