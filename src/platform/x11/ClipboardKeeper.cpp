#include "platform/x11/ClipboardKeeper.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <unistd.h>

extern char** environ;

namespace kx::platform::x11 {

namespace {

constexpr const char* keeperName = "kestrelix-clipboard";

void putLength(std::string& out, std::uint64_t length)
{
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<char>((length >> (8 * i)) & 0xff));
}

std::optional<std::string_view> takeField(std::string_view& bytes)
{
    if (bytes.size() < 8)
        return std::nullopt;
    std::uint64_t length = 0;
    for (int i = 0; i < 8; ++i)
        length |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
    bytes.remove_prefix(8);
    if (length > bytes.size())
        return std::nullopt;
    const std::string_view field = bytes.substr(0, length);
    bytes.remove_prefix(length);
    return field;
}

bool sendAll(int fd, const std::string& bytes)
{
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        // MSG_NOSIGNAL: a keeper that died early must not take us down with SIGPIPE.
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

// Whether the keeper says it owns the clipboard (one byte, '1') before the deadline.
bool answeredYes(int fd, double timeout)
{
    const auto deadline =
        std::chrono::steady_clock::now() +
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(timeout));
    while (true) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd watch{fd, POLLIN, 0};
        const int ready = ::poll(&watch, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        char answer = 0;
        return ::read(fd, &answer, 1) == 1 && answer == '1';
    }
}

}  // namespace

std::filesystem::path ClipboardKeeper::executable()
{
    std::error_code error;
    const std::filesystem::path running = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    const std::filesystem::path beside = running.parent_path() / keeperName;
    if (std::filesystem::exists(beside, error))
        return beside;
    return running.parent_path().parent_path() / KX_KEEPER_DIR_IN_PREFIX / keeperName;
}

bool ClipboardKeeper::start(const std::filesystem::path& executable, const PasteboardItem& item, double timeout)
{
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return false;
    posix_spawn_file_actions_t files;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&files);
    posix_spawnattr_init(&attributes);
    // The socket is its standard input, nothing else of ours stays open in it.
    posix_spawn_file_actions_adddup2(&files, ends[1], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&files, STDERR_FILENO + 1);
    // A session of its own, so that neither our end nor a kill of our process group ends it;
    // default signal handling and no blocked signals, whatever ours are.
    sigset_t none;
    sigset_t defaults;
    sigemptyset(&none);
    sigfillset(&defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const std::string path = executable.string();
    char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
    pid_t pid = 0;
    const bool spawned = ::posix_spawn(&pid, path.c_str(), &files, &attributes, argv, environ) == 0;
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    ::close(ends[1]);
    bool owns = false;
    if (spawned && sendAll(ends[0], encode(item)) && ::shutdown(ends[0], SHUT_WR) == 0)
        owns = answeredYes(ends[0], timeout);
    ::close(ends[0]);
    return owns;
}

std::string ClipboardKeeper::encode(const PasteboardItem& item)
{
    std::string out;
    for (const auto& [type, data] : item) {
        putLength(out, type.size());
        out += type;
        putLength(out, data.size());
        out += data;
    }
    return out;
}

std::optional<PasteboardItem> ClipboardKeeper::decode(std::string_view bytes)
{
    PasteboardItem item;
    while (!bytes.empty()) {
        const auto type = takeField(bytes);
        if (!type)
            return std::nullopt;
        const auto data = takeField(bytes);
        if (!data)
            return std::nullopt;
        item.emplace(*type, *data);
    }
    return item;
}

}  // namespace kx::platform::x11
