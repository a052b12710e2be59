#pragma once
#include <QApplication>

// The one application object of a Qt test program, made on first use, with numbers formatted
// the C way right after it as the player does (libmpv refuses to start otherwise).
QApplication& TestApplication();
