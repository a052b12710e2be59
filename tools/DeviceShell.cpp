// velkaf-device: the media device by hand. Reads command strings from standard input, one
// per line, sends each to the real device and prints each reply on a line of its own (an
// empty line for an empty reply). With --show a video host window is opened; its number is
// printed to standard error for "window movie handle n".
#include <QApplication>
#include <QCoreApplication>
#include <QMetaObject>
#include <atomic>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

#include "device/MpvMediaDevice.h"
#include "device/VideoHostWidget.h"

namespace {
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
        "  --status      after each reply, print ok or failed to standard error\n",
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
    // runs on the main thread, as the player's would.
    QCoreApplication* loop = app.get();
    std::atomic<bool> inputEnded{false};
    std::thread reader([loop, &device, status, &inputEnded] {
        std::string line;
        while (std::getline(std::cin, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            QMetaObject::invokeMethod(
                loop,
                [line, &device, status] {
                    const DeviceReply reply = device.Execute(line);
                    std::fwrite(reply.text.data(), 1, reply.text.size(), stdout);
                    std::fputc('\n', stdout);
                    std::fflush(stdout);
                    if (status) std::fputs(reply.ok ? "ok\n" : "failed\n", stderr);
                },
                Qt::BlockingQueuedConnection);
        }
        inputEnded = true;
        QMetaObject::invokeMethod(loop, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
    });
    const int rc = app->exec();
    // The reader ends at end of input; if the window was closed first it may still wait on
    // standard input, which process exit ends.
    if (inputEnded) {
        reader.join();
    } else {
        reader.detach();
    }
    return rc;
}
