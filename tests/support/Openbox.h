// A real window manager, openbox with its stock configuration, on the display of this process;
// it ends with the object.
#pragma once

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

struct Openbox {
    QProcess process;
    QTemporaryDir folder;
    Openbox() {
        QStringList arguments{"--sm-disable", "--startup", "touch " + started()};
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

    // Openbox runs its startup command once it has taken the screen, grabbed its bindings and
    // framed the windows already there. Probing its bindings instead would race it: a probe's
    // grab at the wrong moment takes a binding from it.
    bool waitUntilReady() {
        QDeadlineTimer deadline(30000);
        while (!QFile::exists(started())) {
            if (deadline.hasExpired() || process.state() != QProcess::Running) return false;
            QThread::msleep(5);
        }
        return true;
    }

    static bool available() { return !QStandardPaths::findExecutable("openbox").isEmpty(); }

private:
    QString started() const { return folder.filePath("started"); }
};
