// velkaf-device: the media device by hand. Reads command strings from standard input, one
// per line, sends each to the real device and prints each reply on a line of its own (an
// empty line for an empty reply). With --show a video host window is opened; its number is
// printed to standard error for "window movie handle n".
#include <QApplication>
#include <QCoreApplication>
#include <QMetaObject>
#include <QSocketNotifier>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "device/MpvMediaDevice.h"
#include "device/VideoHostWidget.h"

namespace {

// Reads lines from a file descriptor on a thread of its own and has each one carried out on
// the application's thread, one at a time; quits the application at the end of input. Stop
// (from the application's thread, once its loop has ended) wakes the reader wherever it
// waits and joins it, so nothing calls into the loop after it is gone.
class LineReader {
public:
    LineReader(int fd, std::function<void(const std::string&)> run) : m_fd(fd), m_run(std::move(run)) {
        if (::pipe(m_wake) != 0) m_wake[0] = m_wake[1] = -1;
        m_thread = std::thread([this] { Read(); });
    }
    ~LineReader() { Stop(); }

    void Stop() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
        }
        m_done.notify_all();
        if (m_wake[1] >= 0) {
            const char byte = 0;
            [[maybe_unused]] const ssize_t n = ::write(m_wake[1], &byte, 1);
        }
        if (m_thread.joinable()) m_thread.join();
        // A line posted but not yet run never runs now.
        if (QCoreApplication::instance() != nullptr) {
            QCoreApplication::removePostedEvents(QCoreApplication::instance(), QEvent::MetaCall);
        }
        for (int& fd : m_wake) {
            if (fd >= 0) ::close(fd);
            fd = -1;
        }
    }

private:
    void Read() {
        std::string pending;
        char buf[4096];
        for (;;) {
            pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
            if (::poll(fds, m_wake[0] >= 0 ? 2 : 1, -1) < 0) {
                if (errno == EINTR) continue;
                break;
            }
            if (fds[1].revents != 0) return;  // told to stop
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;  // end of input
            pending.append(buf, static_cast<size_t>(n));
            for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
                if (!Carry(pending.substr(0, end))) return;
                pending.erase(0, end + 1);
            }
        }
        if (!pending.empty() && !Carry(pending)) return;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
    }

    // Runs one line on the application's thread and waits until it has run; false when told
    // to stop meanwhile.
    bool Carry(std::string line) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_stopping) return false;
        const uint64_t ticket = ++m_posted;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [this, line, ticket] {
                m_run(line);
                std::lock_guard<std::mutex> lock(m_mutex);
                m_served = ticket;
                m_done.notify_all();
            },
            Qt::QueuedConnection);
        m_done.wait(lock, [&] { return m_stopping || m_served >= ticket; });
        return !m_stopping;
    }

    int m_fd;
    std::function<void(const std::string&)> m_run;
    int m_wake[2] = {-1, -1};
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_stopping = false;
    uint64_t m_posted = 0;
    uint64_t m_served = 0;
    std::thread m_thread;  // last: starts once everything above exists
};

int signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 0;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

// SIGINT and SIGTERM end the loop as the end of input does, so everything stops in order.
void QuitOnSignals(QCoreApplication& app) {
    if (::pipe(signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

void Usage() {
    std::fputs(
        "usage: velkaf-device [--show] [--ao=OUTPUTS] [--status]\n"
        "  Reads device commands from standard input, one per line, e.g.\n"
        "    open \"clip.mpg\" type mpegvideo alias movie\n"
        "    play movie\n"
        "    status movie position\n"
        "  and prints each reply on a line of its own.\n"
        "  --show        open a video host window (its number goes to standard error)\n"
        "  --ao=OUTPUTS  audio outputs to use, e.g. null (default: the machine's)\n"
        "  --status      after each reply, print ok or failed to standard error\n"
        "  Ends at the end of input, when the window is closed, or on SIGINT or SIGTERM.\n",
        stdout);
}
}  // namespace

int main(int argc, char** argv) {
    bool show = false;
    bool status = false;
    MediaDeviceOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--show") {
            show = true;
        } else if (arg == "--status") {
            status = true;
        } else if (arg.rfind("--ao=", 0) == 0) {
            options.audioOutput = arg.substr(5);
        } else if (arg == "--help" || arg == "-h") {
            Usage();
            return 0;
        } else {
            std::fprintf(stderr, "velkaf-device: unknown option %s\n", arg.c_str());
            Usage();
            return 2;
        }
    }

    // Without --show no window system is needed.
    std::unique_ptr<QCoreApplication> app;
    if (show) {
        app = std::make_unique<QApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    // libmpv needs C number formatting; the application object has just set the locale from
    // the environment, so put LC_NUMERIC back before the device is made.
    std::setlocale(LC_NUMERIC, "C");
    QuitOnSignals(*app);

    // A shell has no tick to finish an open in the background: each open is waited for whole.
    options.openWaitMs = options.openTimeoutMs;
    MpvMediaDevice device(options);
    if (!device.Ready()) {
        std::fputs("velkaf-device: libmpv could not be started\n", stderr);
        return 1;
    }

    std::unique_ptr<VideoHostWidget> host;
    if (show) {
        host = std::make_unique<VideoHostWidget>();
        host->setWindowTitle(QStringLiteral("velkaf-device: host %1").arg(host->hostId()));
        host->resize(640, 480);
        host->show();
        std::fprintf(stderr, "velkaf-device: video host %d\n", host->hostId());
    }

    // Lines are read on a thread of their own so the window keeps painting; each command
    // runs on the main thread, as the player's would, and the reader waits for it. When the
    // loop ends first (the window was closed), the reader is told to stop and joined before
    // the loop and the device go away.
    LineReader reader(STDIN_FILENO, [&](const std::string& line) {
        const DeviceReply reply = device.Execute(line);
        std::fwrite(reply.text.data(), 1, reply.text.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
        if (status) std::fputs(reply.ok ? "ok\n" : "failed\n", stderr);
    });
    const int rc = app->exec();
    reader.Stop();
    return rc;
}
