#include "platform/x11/QtSound.h"

#include "platform/Log.h"

#include <QAudioOutput>
#include <QMediaPlayer>
#include <QMetaObject>
#include <QThread>
#include <QUrl>

#include <algorithm>

namespace kx::platform::x11 {

namespace {

class QtSoundClip final : public SoundClip {
public:
    QtSoundClip(const std::filesystem::path& file, const std::string& name)
        : m_player(std::make_unique<QMediaPlayer>()), m_output(std::make_unique<QAudioOutput>())
    {
        m_player->setAudioOutput(m_output.get());
        m_player->setSource(QUrl::fromLocalFile(QString::fromStdString(file.string())));
        // With no sound server the player reports an error instead of playing; say so once.
        QObject::connect(m_player.get(), &QMediaPlayer::errorOccurred, m_player.get(),
                         [this, name](QMediaPlayer::Error, const QString& message) {
                             if (m_reported)
                                 return;
                             m_reported = true;
                             Log::line("sound " + name + " cannot play: " + message.toStdString());
                         });
    }

    void setVolume(double volume) override
    {
        const float level = static_cast<float>(std::clamp(volume, 0.0, 1.0));
        onPlayerThread([this, level] { m_output->setVolume(level); });
    }

    void stop() override
    {
        onPlayerThread([this] { m_player->stop(); });
    }

    void play() override
    {
        onPlayerThread([this] {
            m_player->setPosition(0);
            m_player->play();
        });
    }

private:
    void onPlayerThread(std::function<void()> work)
    {
        if (QThread::currentThread() == m_player->thread())
            work();
        else
            QMetaObject::invokeMethod(m_player.get(), std::move(work), Qt::QueuedConnection);
    }

    std::unique_ptr<QMediaPlayer> m_player;
    std::unique_ptr<QAudioOutput> m_output;
    bool m_reported = false;
};

}  // namespace

QtSound::QtSound(std::filesystem::path folder) : m_folder(std::move(folder)) {}

std::filesystem::path QtSound::fileFor(const std::string& name) const
{
    // A name is a file name, never a path: "../x" must not reach outside the theme.
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
        return {};
    for (const auto extension : extensions) {
        const auto file = m_folder / (name + std::string(extension));
        std::error_code error;
        if (std::filesystem::is_regular_file(file, error))
            return file;
    }
    return {};
}

std::unique_ptr<SoundClip> QtSound::load(const std::string& name)
{
    const auto file = fileFor(name);
    if (file.empty())
        return nullptr;
    return std::make_unique<QtSoundClip>(file, name);
}

}  // namespace kx::platform::x11
