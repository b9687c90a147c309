#include "platform/ui/display_probe.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace ui {
namespace {

const char* Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

// The X server accepts us, authorisation included.
bool XDisplayAnswers()
{
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool answers = connection && !xcb_connection_has_error(connection);
    if (connection)
        xcb_disconnect(connection);
    return answers;
}

// The compositor's socket accepts a connection: a relative name lives in XDG_RUNTIME_DIR.
bool WaylandDisplayAnswers(const char* name)
{
    std::string path = name;
    if (path.front() != '/') {
        const char* runtime = Environment("XDG_RUNTIME_DIR");
        if (!runtime)
            return false;
        path = std::string(runtime) + '/' + path;
    }
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool answers = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return answers;
}

}  // namespace

std::string DisplayProblem()
{
    if (Environment("QT_QPA_PLATFORM"))
        return {};
    const char* x = Environment("DISPLAY");
    const char* wayland = Environment("WAYLAND_DISPLAY");
    if (!x && !wayland)
        return "no display for the window";
    if ((x && XDisplayAnswers()) || (wayland && WaylandDisplayAnswers(wayland)))
        return {};
    return std::string("the display \"") + (x ? x : wayland) + "\" cannot be reached";
}

}  // namespace ui
