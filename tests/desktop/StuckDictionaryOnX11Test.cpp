// The real executable with the user's English personal word list a FIFO that nobody writes, so
// the English dictionary never loads: words are left as typed, and SIGTERM still ends the program.

#include "KestrelixFixture.h"

#include <sys/stat.h>

namespace kx {
namespace {

using test::DesktopSession;

class StuckDictionaryOnX11Test : public test::KestrelixFixture {};

TEST_F(StuckDictionaryOnX11Test, WordsStayAsTypedAndSigtermEndsTheProgram)
{
    const auto wordList = m_home / "config/enchant/en_US.dic";
    std::filesystem::create_directories(wordList.parent_path());
    ASSERT_EQ(::mkfifo(wordList.c_str(), 0600), 0);
    startKestrelix(false);
    const auto field = frontField("KxEditor");
    ASSERT_TRUE(field);

    m_user->typeKeys("cceav ");
    EXPECT_TRUE(field->waitForText("cceav ")) << field->text() << '\n' << log();
    const std::string line = "language en is still loading — words that need it are left as typed";
    EXPECT_TRUE(DesktopSession::waitFor([&] { return log().find(line) != std::string::npos; }, 3)) << log();

    const auto status = quitKestrelix();
    ASSERT_TRUE(status.has_value()) << "still running 10 s after SIGTERM\n" << log();
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "wait status " << *status << '\n' << log();
}

}  // namespace
}  // namespace kx
