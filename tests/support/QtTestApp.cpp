#include "tests/support/QtTestApp.h"

#include <clocale>

QApplication& TestApplication() {
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
