// The QApplication the widget and view tests need, on the offscreen platform, named after the test
// program. It lives from the start of the test run to its end, and goes before the process's exit
// handlers run.
#pragma once

#include <QApplication>

QApplication& testApplication();
