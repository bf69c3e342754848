#include "platform/x11/QtPasteboard.h"

#include "ClipboardManager.h"
#include "DesktopSession.h"
#include "HungClipboardOwner.h"
#include "controller/Actuator.h"
#include "platform/x11/ClipboardWatch.h"
#include "platform/x11/XClientPid.h"

#include <QClipboard>
#include <QGuiApplication>

// gtest goes first: X11 defines None, which gtest uses as a name.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kx::platform::x11 {
namespace {

using test::DesktopSession;

// What another application pasting now would get for target; none when the owner refuses it.
std::optional<std::string> pasteAs(const char* target)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return std::nullopt;
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    const Atom property = XInternAtom(display, "KX_TEST_PASTE", False);
    XConvertSelection(display, XInternAtom(display, "CLIPBOARD", False), XInternAtom(display, target, False), property,
                      window, CurrentTime);
    XFlush(display);
    std::optional<std::string> result;
    bool answered = false;
    // Our own process may be the owner: its event loop must run to answer.
    DesktopSession::waitFor(
        [&] {
            while (!answered && XPending(display) > 0) {
                XEvent event;
                XNextEvent(display, &event);
                if (event.type != SelectionNotify)
                    continue;
                answered = true;
                if (event.xselection.property == None)
                    continue;
                Atom type = 0;
                int format = 0;
                unsigned long count = 0;
                unsigned long remaining = 0;
                unsigned char* data = nullptr;
                XGetWindowProperty(display, window, property, 0, 1 << 20, True, AnyPropertyType, &type, &format, &count,
                                   &remaining, &data);
                if (data)
                    result = std::string(reinterpret_cast<char*>(data), count);
                XFree(data);
            }
            return answered;
        },
        5);
    XDestroyWindow(display, window);
    XCloseDisplay(display);
    return result;
}

// The pid of the clipboard's owner; 0 when there is none or the server cannot tell.
int clipboardOwner()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return 0;
    const int pid = clientPid(display, XGetSelectionOwner(display, XInternAtom(display, "CLIPBOARD", False)));
    XCloseDisplay(display);
    return pid;
}

class QtPasteboardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!DesktopSession::shared().ready())
            GTEST_SKIP() << DesktopSession::shared().why();
        m_pasteboard = std::make_unique<QtPasteboard>();
    }
    void TearDown() override
    {
        for (const pid_t pid : m_started)
            DesktopSession::shared().stop(pid);
    }
    // Another application copies text in two formats and keeps the clipboard.
    void copyElsewhere(const std::string& text, const std::string& html)
    {
        const auto before = m_pasteboard->changeCount();
        m_started.push_back(
            DesktopSession::shared().start({KX_DESKTOP_PROBE, "--class", "KxCopier", "--copy", text, html}, {}, true));
        ASSERT_TRUE(DesktopSession::waitFor([&] { return m_pasteboard->changeCount() > before; }, 10))
            << "another application's copy moves the change count";
        // The GUI thread hears of it too, as it does when it is not busy.
        ASSERT_TRUE(DesktopSession::waitFor([] { return !QGuiApplication::clipboard()->ownsClipboard(); }, 5));
    }
    // Another application copies while this thread is busy: no event loop runs meanwhile.
    void copyElsewhereWhileBusy(const std::string& text)
    {
        const auto before = m_pasteboard->changeCount();
        m_started.push_back(DesktopSession::shared().start(
            {KX_DESKTOP_PROBE, "--class", "KxCopier", "--copy", text, "<b>" + text + "</b>"}, {}, true));
        bool moved = false;
        for (int i = 0; i < 500 && !moved; ++i) {
            moved = m_pasteboard->changeCount() > before;
            if (!moved)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_TRUE(moved) << "the count moves without the event loop";
    }

    // Hands what we wrote to a keeper, as at quit; the keeper's pid, 0 when it did not take it.
    int keepAfterQuit()
    {
        if (!m_pasteboard->keepAfterQuit(KX_CLIPBOARD_KEEPER))
            return 0;
        const int keeper = clipboardOwner();
        EXPECT_FALSE(QGuiApplication::clipboard()->ownsClipboard()) << "Qt knows it let go";
        return keeper != ::getpid() ? keeper : 0;
    }
    // Copies again here; the keeper must end (this process started it, so it is reaped here).
    void copyOverKeeper(int keeper)
    {
        m_pasteboard->clearContents();
        m_pasteboard->setString("a later copy");
        EXPECT_TRUE(DesktopSession::waitFor([&] { return ::waitpid(keeper, nullptr, WNOHANG) == keeper; }, 5))
            << "the keeper ends once another program copies";
    }

    std::unique_ptr<QtPasteboard> m_pasteboard;
    std::vector<pid_t> m_started;
};

// Another application's copy is read in all its formats.
TEST_F(QtPasteboardTest, ReadsEveryFormatOfAnotherApplication)
{
    copyElsewhere("grüße", "<b>grüße</b>");
    const auto items = m_pasteboard->items();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].at("text/plain"), "grüße");
    EXPECT_EQ(items[0].at("text/html"), "<b>grüße</b>");
    EXPECT_FALSE(items[0].contains("TARGETS"));
    EXPECT_EQ(m_pasteboard->string(), "grüße");
}

// Read with a time limit, another application's copy comes in the same formats as without one.
TEST_F(QtPasteboardTest, ReadsEveryFormatWithinTheTimeGiven)
{
    copyElsewhere("grüße", "<b>grüße</b>");
    const auto items = m_pasteboard->itemsWithin(2.0);
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 1u);
    EXPECT_EQ(items->at(0).at("text/plain"), "grüße");
    EXPECT_EQ(items->at(0).at("text/html"), "<b>grüße</b>");
    EXPECT_FALSE(items->at(0).contains("TARGETS"));
}

// An owner that never answers is given up on when the time is over, not after Qt's 5 s per format.
TEST_F(QtPasteboardTest, HungOwnerIsGivenUpOn)
{
    const test::HungClipboardOwner hung;
    ASSERT_TRUE(hung.owns());

    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(m_pasteboard->itemsWithin(0.25));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

// A paste's round trip: save, write plain text that others can paste, restore both formats.
TEST_F(QtPasteboardTest, SnapshotRestoresBothFormats)
{
    copyElsewhere("original", "<i>original</i>");
    const PasteboardSnapshot snapshot(*m_pasteboard);

    const auto cleared = m_pasteboard->clearContents();
    EXPECT_TRUE(m_pasteboard->setString("привет"));
    EXPECT_EQ(pasteAs("UTF8_STRING"), "привет");
    EXPECT_EQ(m_pasteboard->changeCount(), cleared) << "our own write is not someone else's";

    snapshot.restore(*m_pasteboard);
    EXPECT_EQ(pasteAs("UTF8_STRING"), "original");
    EXPECT_EQ(pasteAs("text/html"), "<i>original</i>");
}

// Someone copying after our write moves the count, so a pending restore knows to stand back.
TEST_F(QtPasteboardTest, CopyAfterOurWriteIsNoticed)
{
    const auto written = m_pasteboard->clearContents();
    m_pasteboard->setString("ours");
    EXPECT_EQ(m_pasteboard->changeCount(), written);
    // The server's notices come in order: once the other copy is counted, ours has been seen.
    copyElsewhere("theirs", "<p>theirs</p>");
    EXPECT_EQ(m_pasteboard->changeCount(), written + 1);
    EXPECT_EQ(m_pasteboard->string(), "theirs");
}

// The copy of a selection: the GUI thread sleeps while the application copies; the copied text
// is read and the user's clipboard is put back once the loop runs again.
TEST_F(QtPasteboardTest, CopyWhileGuiThreadBusyIsReadAndUndone)
{
    m_pasteboard->clearContents();
    m_pasteboard->setString("the user's");
    ASSERT_TRUE(DesktopSession::waitFor([] { return QGuiApplication::clipboard()->ownsClipboard(); }, 5));
    const PasteboardSnapshot snapshot(*m_pasteboard);

    copyElsewhereWhileBusy("selected");
    EXPECT_EQ(m_pasteboard->string(), "selected");
    snapshot.restore(*m_pasteboard);

    EXPECT_TRUE(DesktopSession::waitFor([] { return pasteAs("UTF8_STRING") == "the user's"; }, 5));
}

// The actuator writes from its worker queue: the calls reach the GUI thread and come back.
TEST_F(QtPasteboardTest, WorksFromAnotherThread)
{
    std::atomic<bool> done = false;
    std::optional<std::string> readBack;
    std::thread worker([&] {
        m_pasteboard->clearContents();
        m_pasteboard->setString("from a worker");
        readBack = m_pasteboard->string();
        done = true;
    });
    DesktopSession::waitFor([&] { return done.load(); }, 10);
    worker.join();
    EXPECT_EQ(readBack, "from a worker");
}

// What we wrote outlives us with a keeper, in every format: text too large for one request comes
// in pieces, and a binary type keeps its bytes.
TEST_F(QtPasteboardTest, KeeperServesEveryFormatAfterQuit)
{
    std::string large;
    while (large.size() < 600'000)
        large += "שלום עולם " + std::to_string(large.size()) + '\n';
    const std::string image("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    m_pasteboard->clearContents();
    ASSERT_TRUE(m_pasteboard->writeItems({{{"text/plain", large}, {"text/html", "<b>x</b>"}, {"image/png", image}}}));
    const int keeper = keepAfterQuit();
    ASSERT_GT(keeper, 0);

    ClipboardWatch watch;
    const auto text = watch.readText(5);
    EXPECT_TRUE(text == large) << "text of " << (text ? text->size() : 0) << " bytes";
    const auto all = watch.readAll(5);
    ASSERT_TRUE(all);
    EXPECT_TRUE(all->contains("text/plain") && all->at("text/plain") == large);
    EXPECT_EQ(all->contains("text/html") ? all->at("text/html") : "", "<b>x</b>");
    EXPECT_EQ(all->contains("image/png") ? all->at("image/png") : "", image);
    EXPECT_EQ(pasteAs("STRING"), std::nullopt) << "Latin-1 cannot carry Hebrew";
    copyOverKeeper(keeper);
}

// Plain text is offered under every name of text older programs ask for.
TEST_F(QtPasteboardTest, KeeperOffersTextUnderEveryName)
{
    m_pasteboard->clearContents();
    ASSERT_TRUE(m_pasteboard->setString("plain words"));
    const int keeper = keepAfterQuit();
    ASSERT_GT(keeper, 0);
    for (const char* target : {"UTF8_STRING", "STRING", "TEXT", "text/plain;charset=utf-8", "text/plain"})
        EXPECT_EQ(pasteAs(target), "plain words") << target;
    copyOverKeeper(keeper);
}

// No keeper for an empty clipboard, for another application's, nor where a clipboard manager
// runs (Qt hands the clipboard to it as it ends).
TEST_F(QtPasteboardTest, KeeperOnlyForOurDataWithoutManager)
{
    m_pasteboard->clearContents();
    EXPECT_FALSE(m_pasteboard->keepAfterQuit(KX_CLIPBOARD_KEEPER)) << "empty";
    ASSERT_TRUE(m_pasteboard->setString("ours"));
    copyElsewhere("theirs", "<b>theirs</b>");
    EXPECT_FALSE(m_pasteboard->keepAfterQuit(KX_CLIPBOARD_KEEPER)) << "another application's";
    m_pasteboard->clearContents();
    ASSERT_TRUE(m_pasteboard->setString("ours"));
    const test::ClipboardManager manager;
    ASSERT_TRUE(manager.ok());
    EXPECT_FALSE(m_pasteboard->keepAfterQuit(KX_CLIPBOARD_KEEPER)) << "a clipboard manager runs";
    EXPECT_EQ(clipboardOwner(), ::getpid());
}

}  // namespace
}  // namespace kx::platform::x11
