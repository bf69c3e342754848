#include "platform/x11/QtPasteboard.h"

#include "platform/Log.h"
#include "platform/x11/ClipboardKeeper.h"
#include "platform/x11/ClipboardWatch.h"
#include "platform/x11/MainThreadCall.h"

#include <QByteArray>
#include <QClipboard>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMimeData>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <set>

namespace kx::platform::x11 {

namespace {

// A clipboard owner that hangs makes Qt wait up to 5 s per read; past that we give up.
constexpr std::chrono::milliseconds guiThreadWait(6000);
constexpr double textReadTimeout = 5.0;
constexpr int publishRetries = 10;
constexpr int publishRetryMs = 20;
constexpr double keeperStartTimeout = 3.0;
constexpr qint64 letGoWaitMs = 1000;

// The marker on the mime data we publish, so that our own writes do not count as someone else's.
constexpr const char* writeTagProperty = "kxPasteboardWrite";

// Targets of the selection protocol itself, never data to save.
bool isProtocolTarget(const QString& format)
{
    static const std::set<QString> targets = {"TARGETS", "TIMESTAMP",        "MULTIPLE",       "SAVE_TARGETS",
                                              "DELETE",  "INSERT_SELECTION", "INSERT_PROPERTY"};
    return targets.contains(format);
}

}  // namespace

struct QtPasteboard::State {
    QObject context;  // lives on the GUI thread
    QClipboard* clipboard = QGuiApplication::clipboard();
    ClipboardWatch watch;
    std::atomic<std::int64_t> changeCount = 0;
    qint64 writeTag = 0;
    PasteboardItem written;  // what we wrote since our last clearContents()

    QMimeData* makeMimeData()
    {
        auto* data = new QMimeData;
        for (const auto& [type, bytes] : written) {
            const QByteArray raw(bytes.data(), static_cast<qsizetype>(bytes.size()));
            if (type == stringType)
                data->setText(QString::fromUtf8(raw));
            data->setData(QString::fromStdString(type), raw);
        }
        data->setProperty(writeTagProperty, ++writeTag);
        return data;
    }

    // Takes the clipboard with what we wrote; false when the server kept another owner.
    bool take()
    {
        // Notices of other owners before ours are counted first; ours is never counted.
        changeCount += watch.takeForeignChanges();
        clipboard->setMimeData(makeMimeData(), QClipboard::Clipboard);  // the clipboard owns it now
        return !watch.ok() || watch.ownedHere();
    }

    void publish()
    {
        if (!take())
            retryLater(publishRetries);
    }

    // Qt takes the selection with the time of the last event it handled. When another owner took
    // it since (while the GUI thread was busy waiting for a copy to land), the server keeps that
    // owner. Once the loop has run, Qt knows the newer time: write again then, unless someone
    // wrote after us meanwhile.
    void retryLater(int triesLeft)
    {
        QTimer::singleShot(publishRetryMs, &context, [this, triesLeft, tag = writeTag] {
            const auto foreign = watch.takeForeignChanges();
            changeCount += foreign;
            if (foreign > 0 || tag != writeTag || watch.ownedHere() || take())
                return;
            if (triesLeft > 1)
                retryLater(triesLeft - 1);
            else
                Log::line("pasteboard: the clipboard could not be taken back");
        });
    }

    bool isOurs() const
    {
        const QMimeData* data = clipboard->mimeData(QClipboard::Clipboard);
        return data && data->property(writeTagProperty).toLongLong() == writeTag && writeTag != 0;
    }
};

QtPasteboard::QtPasteboard() : m_state(std::make_unique<State>())
{
    State* s = m_state.get();
    // Other applications' copies are counted from the server's notices, which arrive also while
    // the GUI thread is busy; Qt's signal then only counts other writers in this process.
    QObject::connect(s->clipboard, &QClipboard::changed, &s->context, [s](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !s->isOurs() && (!s->watch.ok() || s->clipboard->ownsClipboard()))
            ++s->changeCount;
    });
}

QtPasteboard::~QtPasteboard() = default;

std::vector<PasteboardItem> QtPasteboard::items()
{
    State* s = m_state.get();
    const auto result = callOnThreadOf<std::vector<PasteboardItem>>(
        &s->context,
        [s] {
            const QMimeData* data = s->clipboard->mimeData(QClipboard::Clipboard);
            if (!data)
                return std::vector<PasteboardItem>();
            PasteboardItem item;
            for (const auto& format : data->formats()) {
                if (isProtocolTarget(format))
                    continue;
                const QByteArray bytes = data->data(format);
                if (!bytes.isEmpty())
                    item.emplace(format.toStdString(), bytes.toStdString());
            }
            return item.empty() ? std::vector<PasteboardItem>() : std::vector<PasteboardItem>{item};
        },
        guiThreadWait);
    if (!result)
        Log::line("pasteboard: the clipboard did not answer in time");
    return result.value_or(std::vector<PasteboardItem>());
}

std::optional<std::vector<PasteboardItem>> QtPasteboard::itemsWithin(double seconds)
{
    State* s = m_state.get();
    if (s->watch.ok() && !s->watch.ownedHere()) {
        auto item = s->watch.readAll(seconds);
        if (!item)
            return std::nullopt;
        return item->empty() ? std::vector<PasteboardItem>() : std::vector<PasteboardItem>{std::move(*item)};
    }
    // Our own data, which the GUI thread has at hand unless it is busy.
    return callOnThreadOf<std::vector<PasteboardItem>>(
        &s->context, [this] { return items(); },
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::duration<double>(seconds)));
}

std::int64_t QtPasteboard::clearContents()
{
    State* s = m_state.get();
    const auto result = callOnThreadOf<std::int64_t>(
        &s->context,
        [s] {
            s->written.clear();
            // Taking the selection with nothing in it empties it for every application.
            s->publish();
            return ++s->changeCount;
        },
        guiThreadWait);
    return result.value_or(s->changeCount.load());
}

bool QtPasteboard::writeItems(const std::vector<PasteboardItem>& items)
{
    State* s = m_state.get();
    const auto result = callOnThreadOf<bool>(
        &s->context,
        [s, items] {
            if (items.empty())
                return true;
            for (const auto& item : items)
                s->written.insert(item.begin(), item.end());
            s->publish();
            return true;
        },
        guiThreadWait);
    return result.value_or(false);
}

bool QtPasteboard::setString(const std::string& text)
{
    return writeItems({{{std::string(stringType), text}}});
}

std::optional<std::string> QtPasteboard::string()
{
    State* s = m_state.get();
    // Another owner's text is asked of it directly: Qt may not have heard of that owner yet.
    if (s->watch.ok() && !s->watch.ownedHere())
        return s->watch.readText(textReadTimeout);
    const auto result = callOnThreadOf<std::optional<std::string>>(
        &s->context,
        [s]() -> std::optional<std::string> {
            const QMimeData* data = s->clipboard->mimeData(QClipboard::Clipboard);
            if (!data || !data->hasText())
                return std::nullopt;
            return data->text().toStdString();
        },
        guiThreadWait);
    return result.value_or(std::nullopt);
}

std::int64_t QtPasteboard::changeCount()
{
    return m_state->changeCount += m_state->watch.takeForeignChanges();
}

bool QtPasteboard::keepAfterQuit(const std::filesystem::path& keeper)
{
    State* s = m_state.get();
    if (!s->watch.ok() || s->written.empty() || !s->isOurs() || !s->watch.ownedHere() || s->watch.managerRunning())
        return false;
    // The keeper takes the clipboard from us while we still hold it, so no paste finds it empty.
    if (!ClipboardKeeper::start(keeper, s->written, keeperStartTimeout)) {
        Log::line("quit: the clipboard could not be kept after quitting; it empties");
        return false;
    }
    // Qt must learn that it lost the clipboard, or it might clear it on its way out.
    QElapsedTimer clock;
    clock.start();
    while (s->clipboard->ownsClipboard() && clock.elapsed() < letGoWaitMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    Log::line("quit: the clipboard stays with a process of ours until another program takes it");
    return true;
}

}  // namespace kx::platform::x11
