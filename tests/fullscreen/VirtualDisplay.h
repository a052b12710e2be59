#pragma once
// One virtual X display (Xvfb) for the test process, so that mapping, focus and where clicks
// go are asked of a real X server: made on first use, it becomes the process's DISPLAY with
// Qt on X (the players the tests start inherit both), and goes when the process ends.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>

// The display's name (":N"), or empty when Xvfb could not start.
inline const std::string& VirtualDisplay() {
    static struct Server {
        Server() {
            int fds[2];
            if (pipe(fds) != 0) return;
            pid = fork();
            if (pid == 0) {
                close(fds[0]);
                setsid();
                const std::string fd = std::to_string(fds[1]);
                execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                       static_cast<char*>(nullptr));
                _exit(127);
            }
            close(fds[1]);
            // Xvfb writes the number it chose once it accepts connections.
            std::string number;
            pollfd wait{fds[0], POLLIN, 0};
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (std::chrono::steady_clock::now() < deadline && number.find('\n') == std::string::npos) {
                if (poll(&wait, 1, 200) <= 0) continue;
                char buffer[32];
                const ssize_t got = read(fds[0], buffer, sizeof buffer);
                if (got <= 0) break;
                number.append(buffer, static_cast<size_t>(got));
            }
            close(fds[0]);
            if (number.find('\n') == std::string::npos) return;
            name = ":" + number.substr(0, number.find('\n'));
            setenv("DISPLAY", name.c_str(), 1);
            setenv("QT_QPA_PLATFORM", "xcb", 1);
        }
        ~Server() {
            if (pid <= 0) return;
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        pid_t pid = -1;
        std::string name;
    } server;
    return server.name;
}
