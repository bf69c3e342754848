// kestrelix-clipboard: keeps the user's clipboard after Kestrelix quits, until another program
// takes it. Kestrelix starts it with the data on standard input (a socket) and reads back one
// byte: '1' once the clipboard is ours.

#include "ClipboardServer.h"
#include "platform/x11/ClipboardKeeper.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

std::string readAll(int fd)
{
    std::string bytes;
    char buffer[65536];
    while (true) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return bytes;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace

int main()
{
    // Hold no folder of the program's busy.
    (void)!::chdir("/");
    const auto item = kx::platform::x11::ClipboardKeeper::decode(readAll(STDIN_FILENO));
    if (!item)
        return 1;
    kx::platform::x11::ClipboardServer server(*item);
    const bool owns = server.take();
    (void)!::write(STDIN_FILENO, owns ? "1" : "0", 1);
    ::close(STDIN_FILENO);
    ::open("/dev/null", O_RDONLY);
    if (!owns)
        return 1;
    server.run();
    return 0;
}
