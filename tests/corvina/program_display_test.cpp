// Both programs as built, started as a user starts them: on a display that cannot be reached
// they say so and end normally, and on a real (virtual) display a crash shows its message in an
// "Exception" box that a fresh process of the same program puts up.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <xcb/xcb.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QThread>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "platform/crash/crash_dump_writer.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

QString Program(const char* name)
{
    return QString::fromStdString((testsupport::BinaryDir() / name).string());
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The environment of a user's session on `display`, with private folders under `dir`.
QProcessEnvironment SessionOn(const QString& display, const testsupport::TempDir& dir)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "CRV_CRASH_MESSAGE"})
        environment.remove(QString::fromLatin1(name));
    environment.insert("DISPLAY", display);
    const auto runtime = dir / "runtime";
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.string()));
    environment.insert("XDG_DATA_HOME", QString::fromStdString((dir / "data").string()));
    environment.insert("XDG_CONFIG_HOME", QString::fromStdString((dir / "config").string()));
    return environment;
}

TEST(ProgramDisplayTest, ADisplayThatCannotBeReachedIsReportedAndTheProgramEndsNormally)
{
    testsupport::TempDir dir;
    struct Case {
        const char* program;
        QStringList arguments;
        const char* message;  // the start of what standard error says
    };
    const Case cases[] = {
        {"corvina", {}, "Corvina: the display \":4999\" cannot be reached."},
        {"crvconsole", {}, "CrvConsole: the display \":4999\" cannot be reached."},
        // An unattended run that fails reports in its box, here on standard error.
        {"crvconsole",
         {QString::fromStdString((dir / "missing.sql").string()),
          QString::fromStdString((dir / "missing.mdb").string())},
         "Error: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.program) + " " + c.arguments.join(' ').toStdString());
        QProcess process;
        process.setProcessEnvironment(SessionOn(":4999", dir));
        process.start(Program(c.program), c.arguments);
        ASSERT_TRUE(process.waitForFinished(60000));
        const std::string err = process.readAllStandardError().toStdString();
        ASSERT_EQ(process.exitStatus(), QProcess::NormalExit) << err;
        EXPECT_EQ(process.exitCode(), 0);
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        EXPECT_EQ(err.find("Reinstalling"), std::string::npos) << err;
    }
}

// An X server of the test's own, on a display number it chooses itself.
class VirtualDisplay {
public:
    bool Start()
    {
        const QString server = QStandardPaths::findExecutable("Xvfb");
        if (server.isEmpty())
            return false;
        server_.start(server,
                      {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1280x900x24"});
        if (!server_.waitForStarted(10000))
            return false;
        while (!server_.canReadLine())
            if (!server_.waitForReadyRead(10000))
                return false;
        name_ = ":" + QString::fromLatin1(server_.readLine()).trimmed();
        connection_ = xcb_connect(name_.toLatin1().constData(), nullptr);
        return !xcb_connection_has_error(connection_);
    }
    ~VirtualDisplay()
    {
        if (connection_)
            xcb_disconnect(connection_);
        server_.terminate();
        server_.waitForFinished(10000);
    }
    const QString& Name() const { return name_; }

    // The process that owns the first top-level window whose title contains `title`.
    std::optional<pid_t> WindowOwner(const std::string& title)
    {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        xcb_query_tree_reply_t* tree =
            xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root), nullptr);
        if (!tree)
            return std::nullopt;
        std::optional<pid_t> owner;
        const xcb_window_t* children = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree) && !owner; ++i) {
            if (Property(children[i], "WM_NAME").find(title) != std::string::npos) {
                const std::string pid = Property(children[i], "_NET_WM_PID");
                if (pid.size() == 4)
                    owner = *reinterpret_cast<const uint32_t*>(pid.data());
            }
        }
        free(tree);
        return owner;
    }

private:
    std::string Property(xcb_window_t window, const char* name)
    {
        xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
            connection_, xcb_intern_atom(connection_, 1, uint16_t(strlen(name)), name), nullptr);
        std::string value;
        if (atom && atom->atom != XCB_ATOM_NONE) {
            xcb_get_property_reply_t* reply =
                xcb_get_property_reply(connection_,
                                       xcb_get_property(connection_, 0, window, atom->atom,
                                                        XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
                                       nullptr);
            if (reply) {
                value.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                             size_t(xcb_get_property_value_length(reply)));
                free(reply);
            }
        }
        free(atom);
        return value;
    }

    QProcess server_;
    QString name_;
    xcb_connection_t* connection_ = nullptr;
};

std::optional<pid_t> WaitForWindow(VirtualDisplay& display, const std::string& title)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 20000) {
        if (const auto owner = display.WindowOwner(title))
            return owner;
        QThread::msleep(50);
    }
    return std::nullopt;
}

// The environment a process was started with, one "NAME=value" per entry.
std::string StartEnvironment(pid_t pid)
{
    return ReadFile("/proc/" + std::to_string(pid) + "/environ");
}

TEST(ProgramDisplayTest, ACrashOnADisplayShowsItsMessageInAnExceptionBox)
{
    VirtualDisplay display;
    if (!display.Start())
        GTEST_SKIP() << "no virtual X server (Xvfb) here";
    struct Case {
        const char* program;
        const char* window;  // in the title of the program's main window
        const char* dump;
    };
    const Case cases[] = {
        {"corvina", "Corvina", "corvina.dmp"},
        {"crvconsole", "CrvConsole", "crvconsole.dmp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program);
        testsupport::TempDir dir;
        QProcess process;
        process.setProcessEnvironment(SessionOn(display.Name(), dir));
        process.setWorkingDirectory(QString::fromStdString(dir.path().string()));
        process.setChildProcessModifier([] {
            const rlimit noCore = {0, 0};  // the crash is intended: no core file
            setrlimit(RLIMIT_CORE, &noCore);
        });
        process.start(Program(c.program), {});
        ASSERT_TRUE(process.waitForStarted(10000));
        const auto main = WaitForWindow(display, c.window);
        ASSERT_TRUE(main.has_value());
        ASSERT_EQ(*main, process.processId());

        // The user's program crashes as a fault would end it.
        ASSERT_EQ(kill(pid_t(process.processId()), SIGSEGV), 0);
        const auto box = WaitForWindow(display, crash::kExceptionCaption);
        ASSERT_TRUE(box.has_value());
        EXPECT_NE(*box, process.processId());
        ASSERT_TRUE(process.waitForFinished(20000));
        EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);
        // The box is the program itself, started again with the message to show; standard
        // error stays quiet, as nobody reads it on a desktop.
        const std::string boxProgram = fs::read_symlink("/proc/" + std::to_string(*box) + "/exe");
        EXPECT_EQ(boxProgram, Program(c.program).toStdString());
        const fs::path dump = dir / "data" / c.dump;
        const std::string message = std::string(crash::kCrashMessageVariable) + "=" +
                                    crash::kSavedText + dump.string() + crash::kPleaseSendText +
                                    crash::kSupportAddress + crash::kFixedText + '\0';
        EXPECT_NE(StartEnvironment(*box).find(message), std::string::npos);
        EXPECT_EQ(process.readAllStandardError().toStdString().find("Exception:"),
                  std::string::npos);
        EXPECT_NE(ReadFile(dump).find("signal: 11 (SIGSEGV)\n"), std::string::npos);

        // The user closes the box.
        ASSERT_EQ(kill(*box, SIGTERM), 0);
        QElapsedTimer timer;
        timer.start();
        while (display.WindowOwner(crash::kExceptionCaption) && timer.elapsed() < 10000)
            QThread::msleep(50);
        EXPECT_FALSE(display.WindowOwner(crash::kExceptionCaption).has_value());
    }
}

}  // namespace
