#pragma once
#include <QApplication>
#include <clocale>

// The one application object of a Qt test program, made on first use, with numbers formatted
// the C way right after it as the player does (libmpv refuses to start otherwise).
inline QApplication& TestApplication() {
    static int argc = 1;
    static char name[] = "velkaf-test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        auto* created = new QApplication(argc, argv);
        std::setlocale(LC_NUMERIC, "C");
        return created;
    }();
    return *app;
}
