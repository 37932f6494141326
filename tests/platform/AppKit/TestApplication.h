// The QApplication the widget tests need, on the offscreen platform. It lives from the start of
// the test run to its end, and goes before the process's exit handlers run.
#pragma once

#include <QApplication>

QApplication& testApplication();
