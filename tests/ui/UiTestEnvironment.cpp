// The Qt side's tests run on the offscreen platform, with one application object for the program.

#include <QApplication>

#include <gtest/gtest.h>

namespace kx::test {
namespace {

class QtApplication : public ::testing::Environment {
public:
    void SetUp() override
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        m_app = new QApplication(m_argc, m_argv);
    }
    void TearDown() override
    {
        delete m_app;
        m_app = nullptr;
    }

private:
    int m_argc = 1;
    char m_name[8] = "test_ui";
    char* m_argv[2] = {m_name, nullptr};
    QApplication* m_app = nullptr;
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new QtApplication);

}  // namespace
}  // namespace kx::test
