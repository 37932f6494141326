// The player-standin executable itself: its usage texts, and its end with its session bus, on a
// private dbus-daemon the test starts.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace playertest {
namespace {

const QString kStandIn = QStringLiteral(BEATWICK_BINARY_DIR "/player-standin");

struct Finished {
    int exitCode;
    QString out;
    QString err;
};

Finished run(const QStringList& arguments,
             const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(kStandIn, arguments);
    EXPECT_TRUE(process.waitForFinished(15000)) << arguments.join(' ').toStdString();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

TEST(StandInProcessTest, UsageForHelpAndForAnUnknownCommand) {
    // Usage needs no bus, and must not reach one.
    QProcessEnvironment noBus = QProcessEnvironment::systemEnvironment();
    noBus.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    for (const char* option : {"--help", "-h"}) {
        const Finished help = run({option}, noBus);
        EXPECT_EQ(help.exitCode, 0) << option;
        EXPECT_TRUE(help.out.startsWith("usage: player-standin")) << option << ": " << help.out.toStdString();
        for (const char* command : {"play", "pause", "next", "previous", "quit", "delay MS", "state"})
            EXPECT_TRUE(help.out.contains(command)) << command;
        EXPECT_FALSE(help.err.contains("taken")) << help.err.toStdString();
    }
    for (const QStringList& arguments : {QStringList{"--ctl", "bogus"}, QStringList{"--ctl"}}) {
        const Finished unknown = run(arguments, noBus);
        const std::string shown = arguments.join(' ').toStdString();
        EXPECT_NE(unknown.exitCode, 0) << shown;
        EXPECT_TRUE(unknown.err.contains("usage: player-standin"))
            << shown << ": " << unknown.err.toStdString();
        for (const char* command : {"play", "pause", "next", "previous", "quit", "delay MS", "state"})
            EXPECT_TRUE(unknown.err.contains(command)) << shown << ": " << command;
        EXPECT_FALSE(unknown.err.contains("no player answers")) << shown;
    }
}

// A dbus-daemon of this test's own, killed when the test says.
class PrivateDaemon {
public:
    PrivateDaemon() {
        FILE* out = popen("dbus-daemon --session --fork --nopidfile --print-address=1 --print-pid=1", "r");
        if (!out) return;
        char address[512] = {};
        char pid[32] = {};
        const bool read = std::fgets(address, sizeof address, out) && std::fgets(pid, sizeof pid, out);
        pclose(out);
        if (!read) return;
        fAddress = QString::fromLocal8Bit(address).trimmed();
        fPid = static_cast<pid_t>(std::atol(pid));
    }
    ~PrivateDaemon() { kill(); }
    PrivateDaemon(const PrivateDaemon&) = delete;
    PrivateDaemon& operator=(const PrivateDaemon&) = delete;

    bool started() const { return fPid > 0 && !fAddress.isEmpty(); }
    const QString& address() const { return fAddress; }
    void kill() {
        if (fPid > 0) ::kill(fPid, SIGTERM);
        fPid = 0;
    }

private:
    QString fAddress;
    pid_t fPid{0};
};

// A stand-in's surroundings: a HOME of its own and the test's bus.
QProcessEnvironment standInEnvironment(const QTemporaryDir& home, const PrivateDaemon& daemon) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home.path());
    environment.insert("XDG_CONFIG_HOME", home.path() + "/config");
    environment.insert("DBUS_SESSION_BUS_ADDRESS", daemon.address());
    environment.insert("BEATWICK_RESOURCE_DIR", BEATWICK_RESOURCE_DIR);
    return environment;
}

TEST(StandInProcessTest, QuitsWhenItsBusGoes) {
    PrivateDaemon daemon;
    ASSERT_TRUE(daemon.started());
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QProcessEnvironment environment = standInEnvironment(home, daemon);
    // The sample library without the version that saved it, so the save at quit shows.
    const std::string libraryPath = (home.path() + "/Music/iTunes/iTunes Music Library.xml").toStdString();
    {
        std::ifstream sample(std::string(BEATWICK_RESOURCE_DIR) + "/SampleLibrary/iTunes Music Library.xml");
        std::string text((std::istreambuf_iterator<char>(sample)), std::istreambuf_iterator<char>());
        const std::string version = "\t<key>Application Version</key><string>10.6.3</string>\n";
        ASSERT_NE(text.find(version), std::string::npos);
        text.erase(text.find(version), version.size());
        ASSERT_TRUE(QDir().mkpath(home.path() + "/Music/iTunes"));
        std::ofstream(libraryPath) << text;
    }

    QProcess standIn;
    standIn.setProcessEnvironment(environment);
    standIn.start(kStandIn, {});
    ASSERT_TRUE(standIn.waitForStarted(15000));
    {
        // Serving: it owns the player's name on that bus.
        QDBusConnection bus = QDBusConnection::connectToBus(daemon.address(), "standin-process-test");
        ASSERT_TRUE(bus.isConnected());
        bool owned = false;
        for (int i = 0; i < 750 && !owned && standIn.state() == QProcess::Running; ++i) {
            owned = bus.interface()->isServiceRegistered("com.apple.iTunes");
            if (!owned) QThread::msleep(20);
        }
        QDBusConnection::disconnectFromBus("standin-process-test");
        ASSERT_TRUE(owned) << standIn.readAllStandardError().toStdString();
    }

    daemon.kill();
    const bool ended = standIn.waitForFinished(15000);
    if (!ended) {
        standIn.kill();
        standIn.waitForFinished(5000);
    }
    ASSERT_TRUE(ended) << "the stand-in outlived its bus";
    EXPECT_EQ(standIn.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(standIn.exitCode(), 0);

    // It quit as on a request: its library was saved, with the version that saved it.
    std::ifstream library(libraryPath);
    const std::string text((std::istreambuf_iterator<char>(library)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("<key>Application Version</key>"), std::string::npos);
}

// In a HOME without a library the stand-in starts with the sample one, whose tracks point at
// files of their own beside it.
TEST(StandInProcessTest, ProvidesTheSampleLibraryWithAFileForEveryTrack) {
    PrivateDaemon daemon;
    ASSERT_TRUE(daemon.started());
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QProcessEnvironment environment = standInEnvironment(home, daemon);
    const std::string folder = (home.path() + "/Music/iTunes").toStdString();

    QProcess standIn;
    standIn.setProcessEnvironment(environment);
    standIn.start(kStandIn, {});
    ASSERT_TRUE(standIn.waitForStarted(15000));
    bool answered = false;
    for (int i = 0; i < 300 && !answered; ++i) {
        answered = run({"--ctl", "state"}, environment).exitCode == 0;
        if (!answered) QThread::msleep(50);
    }
    daemon.kill();
    if (!standIn.waitForFinished(15000)) standIn.kill();
    ASSERT_TRUE(answered) << standIn.readAllStandardError().toStdString();

    std::ifstream library(folder + "/iTunes Music Library.xml");
    const std::string text((std::istreambuf_iterator<char>(library)), std::istreambuf_iterator<char>());
    const std::string first = "file://" + folder + "/iTunes%20Music/The%20Metronomes/Tap%20Tempo%20Sessions/";
    EXPECT_NE(text.find("<string>" + first + "01%20Morning%20Run.mp3</string>"), std::string::npos) << text;
    EXPECT_EQ(text.find("file:///Music/"), std::string::npos) << "no track is left pointing nowhere";
    EXPECT_TRUE(std::filesystem::is_regular_file(
        folder + "/iTunes Music/The Metronomes/Tap Tempo Sessions/01 Morning Run.mp3"));
    EXPECT_TRUE(
        std::filesystem::is_regular_file(folder + "/iTunes Music/Big Room Club/Anthems/02 Drop & Roll.mp3"));
}

}  // namespace
}  // namespace playertest
