// A real window manager, openbox with its stock configuration, on the display of this process;
// it ends with the object.
#pragma once

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QThread>

#include "platform/AppKit/DesktopShortcuts.h"
#include "platform/AppKit/KeyCodes.h"

struct Openbox {
    QProcess process;
    Openbox() {
        QStringList arguments{"--sm-disable"};
        // Its stock bindings, whatever the user running the tests has made of their own.
        if (QFile::exists("/etc/xdg/openbox/rc.xml"))
            arguments << "--config-file"
                      << "/etc/xdg/openbox/rc.xml";
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start("openbox", arguments);
        process.waitForStarted();
    }
    ~Openbox() {
        process.terminate();
        if (!process.waitForFinished(5000)) process.kill();
        process.waitForFinished();
    }
    Openbox(const Openbox&) = delete;
    Openbox& operator=(const Openbox&) = delete;

    // Its bindings come late in its start, after it has taken the screen: once its desktop
    // switching holds Ctrl+Alt+Left, it handles the windows mapped from then on.
    bool waitUntilReady() {
        X11DesktopShortcuts desktop;
        QDeadlineTimer deadline(10000);
        while (!desktop.isCombinationHeld(kKeyCodeLeftArrow, kCarbonCommandKey | kCarbonOptionKey)) {
            if (deadline.hasExpired() || process.state() != QProcess::Running) return false;
            QThread::msleep(10);
        }
        return true;
    }

    static bool available() { return !QStandardPaths::findExecutable("openbox").isEmpty(); }
};
