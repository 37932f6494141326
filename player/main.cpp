// player-standin: the stand-in music player on the session bus.
//
//   player-standin [--apple-event HEX]    serves the player as "com.apple.iTunes"
//   player-standin --ctl COMMAND [ARG]    asks the running player: play, pause, next,
//                                         previous, quit, delay MS (the next reply leaves MS
//                                         milliseconds late), slow MS (every reply does),
//                                         state (prints track and state),
//                                         events (prints the events answered, one a line)
//   player-standin --help                 prints the usage
//
// The player answers Apple events one at a time in arrival order on its main loop, and never
// calls another application while it answers; its broadcasts leave after the answer.
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/AppleEvents/DBusEventServer.h"
#include "platform/Foundation/BusApplication.h"
#include "platform/Foundation/DistributedNotificationCenter.h"
#include "platform/Foundation/Preferences.h"
#include "platform/Foundation/Workspace.h"
#include "player/EventDispatcher.h"
#include "player/MusicLibraryFile.h"
#include "player/PlayerModel.h"
#include "player/SampleLibrary.h"

namespace {

constexpr const char* kBundleIdentifier = "com.apple.iTunes";
constexpr const char* kControlPath = "/com/orvo/StandIn";
constexpr const char* kControlInterface = "com.orvo.StandIn";
constexpr const char* kPlayerInfo = "com.apple.iTunes.playerInfo";

int gSignalPipe[2] = {-1, -1};

void onTerminateSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(gSignalPipe[1], &byte, 1);
}

const char* stateName(player::PlayState state) {
    switch (state) {
        case player::PlayState::playing:
        case player::PlayState::fastForwarding:
        case player::PlayState::rewinding:
            return "Playing";
        case player::PlayState::paused:
            return "Paused";
        case player::PlayState::stopped:
            return "Stopped";
    }
    return "Stopped";
}

// The sample library is copied in, with a file for each of its tracks, when the user has none.
void provideLibrary(const std::string& path) {
    const QByteArray resources = qgetenv("BEATWICK_RESOURCE_DIR");
    const QString folder = !resources.isEmpty() ? QString::fromLocal8Bit(resources)
                                                : QCoreApplication::applicationDirPath() + "/Resources";
    if (Result<void> provided =
            player::SampleLibrary::provide((folder + "/SampleLibrary").toStdString(), path);
        !provided)
        std::fprintf(stderr, "player-standin: the sample library: %s\n", provided.error().c_str());
}

}  // namespace

class StandInPlayer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.orvo.StandIn")

public:
    StandInPlayer(player::MusicLibrary library, player::MusicLibraryFile file)
        : fFile(std::move(file)),
          fModel(std::move(library), player::VersionProfile::current(),
                 std::make_shared<player::SteadyPlaybackClock>()),
          fDispatcher(fModel),
          fServer([this](const AppleEvent& event, AppleEvent& reply) { return handle(event, reply); }),
          fApplication([] { QCoreApplication::quit(); }) {
        fFile.saveOnChange(fModel, [](const std::string& message) {
            std::fprintf(stderr, "player-standin: %s\n", message.c_str());
        });
        fModel.setTrackChangedHandler([this](const player::PlayerModel&) { changed(); });
        fModel.setPlayStateChangedHandler([this](const player::PlayerModel&) { changed(); });
        fTrackEnd.setSingleShot(true);
        connect(&fTrackEnd, &QTimer::timeout, this, [this] {
            fModel.update();
            schedule();
        });
    }

    bool publish() {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!fServer.publish()) return false;
        if (!bus.registerObject(kControlPath, this, QDBusConnection::ExportScriptableSlots)) return false;
        // Without its bus the player serves no one: it quits (saving its library) when the bus goes.
        bus.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
                    QStringLiteral("org.freedesktop.DBus.Local"), QStringLiteral("Disconnected"), this,
                    SLOT(busDisconnected()));
        return fApplication.publish(kBundleIdentifier);
    }

    void handleFirstEvent(const std::vector<uint8_t>& event) {
        AEAnswerFlattenedEvent(event, [this](const AppleEvent& e, AppleEvent& r) { return handle(e, r); });
    }

    void save() {
        if (Result<void> saved = fFile.save(fModel.library(), fModel.profile().version()); !saved)
            std::fprintf(stderr, "player-standin: %s\n", saved.error().c_str());
    }

public slots:
    Q_SCRIPTABLE QString Control(const QString& command, const QString& argument) {
        fModel.update();
        QString answer = QStringLiteral("ok");
        if (command == "play") {
            fModel.play();
        } else if (command == "pause") {
            fModel.pause();
        } else if (command == "next") {
            fModel.nextTrack();
        } else if (command == "previous") {
            fModel.previousTrack();
        } else if (command == "quit") {
            QTimer::singleShot(0, [] { QCoreApplication::quit(); });
        } else if (command == "delay") {
            bool number = false;
            const int milliseconds = argument.toInt(&number);
            if (!number || milliseconds < 0) return QStringLiteral("error: delay needs milliseconds");
            fServer.delayNextReply(milliseconds);
        } else if (command == "slow") {
            bool number = false;
            const int milliseconds = argument.toInt(&number);
            if (!number || milliseconds < 0) return QStringLiteral("error: slow needs milliseconds");
            fServer.delayEveryReply(milliseconds);
        } else if (command == "state") {
            answer = state();
        } else if (command == "events") {
            answer = events();
        } else {
            return QStringLiteral("error: unknown command ") + command;
        }
        schedule();
        return answer;
    }

private slots:
    void busDisconnected() {
        std::fprintf(stderr, "player-standin: the session bus has gone; quitting\n");
        QCoreApplication::quit();
    }

private:
    OSStatus handle(const AppleEvent& event, AppleEvent& reply) {
        fModel.update();
        const OSStatus status = fDispatcher.handle(event, reply);
        schedule();
        return status;
    }

    QString state() const {
        const player::LibraryTrack* track = fModel.currentTrack();
        QString text = QString::fromLatin1(stateName(fModel.playState()));
        if (track) {
            text += QStringLiteral("\t%1\t%2\t%3")
                        .arg(QString::fromStdString(track->name()), QString::fromStdString(track->artist()),
                             QString::fromStdString(player::PersistentIDString(track->persistentID)));
        }
        return text;
    }

    // The print, the sender's time-out in ticks and the result of each event.
    QString events() {
        QStringList lines;
        for (const AELogEntry& entry : fDispatcher.log().entries())
            lines << QString::fromStdString(entry.event + "\t" + std::to_string(entry.timeout) + "\t" +
                                            std::to_string(entry.result));
        return lines.join('\n');
    }

    // Wakes the model when the current track ends, to move on to the next.
    void schedule() {
        if (const std::optional<int64_t> left = fModel.millisecondsUntilTrackEnds())
            fTrackEnd.start(static_cast<int>(std::min<int64_t>(*left + 1, INT32_MAX)));
        else
            fTrackEnd.stop();
    }

    // Several changes of one command make one broadcast, after the answer.
    void changed() {
        if (fBroadcastPending) return;
        fBroadcastPending = true;
        QTimer::singleShot(0, this, [this] {
            fBroadcastPending = false;
            broadcast();
        });
    }

    void broadcast() {
        PropertyList::Dictionary info;
        info.emplace("Player State", PropertyList(stateName(fModel.playState())));
        if (const player::LibraryTrack* track = fModel.currentTrack()) {
            info.emplace("PersistentID", PropertyList(static_cast<int64_t>(track->persistentID)));
            info.emplace("Name", PropertyList(track->name()));
            info.emplace("Artist", PropertyList(track->artist()));
            info.emplace("Album", PropertyList(track->album()));
            info.emplace("Genre", PropertyList(track->genre()));
            info.emplace("Track Number", PropertyList(static_cast<int64_t>(track->trackNumber())));
            if (!track->location.empty())
                info.emplace("Location", PropertyList(track->location));
            else
                info.emplace("Store URL", PropertyList("itms://itunes.apple.com/track/" +
                                                       player::PersistentIDString(track->persistentID)));
        }
        NSDistributedNotificationCenter::defaultCenter().postNotificationName(
            kPlayerInfo, "com.apple.iTunes.player", info);
    }

    player::MusicLibraryFile fFile;
    player::PlayerModel fModel;
    player::EventDispatcher fDispatcher;
    DBusEventServer fServer;
    BusApplication fApplication;
    QTimer fTrackEnd;
    bool fBroadcastPending{false};
};

namespace {

struct ControlCommand {
    const char* name;
    const char* argument;  // nullptr: none
    const char* description;
};

// What --ctl asks of the running player; StandInPlayer::Control answers each.
constexpr ControlCommand kControlCommands[] = {
    {"play", nullptr, "plays"},
    {"pause", nullptr, "pauses"},
    {"next", nullptr, "goes to the next track"},
    {"previous", nullptr, "goes to the previous track"},
    {"quit", nullptr, "quits the player"},
    {"delay", "MS", "the next reply leaves MS milliseconds late"},
    {"slow", "MS", "every reply leaves MS milliseconds late (0: at once again)"},
    {"state", nullptr, "prints the play state and the current track"},
    {"events", nullptr, "prints the Apple events answered: print, time-out and result, one a line"},
};

void printUsage(FILE* to) {
    std::fprintf(to,
                 "usage: player-standin [--apple-event HEX]\n"
                 "       player-standin --ctl COMMAND [ARG]\n"
                 "\n"
                 "Serves the stand-in music player as \"%s\" on the session bus (HEX: a first Apple\n"
                 "event to answer), or asks the running one with a command:\n",
                 kBundleIdentifier);
    for (const ControlCommand& command : kControlCommands) {
        const std::string shown =
            std::string(command.name) + (command.argument ? std::string(" ") + command.argument : "");
        std::fprintf(to, "  %-10s %s\n", shown.c_str(), command.description);
    }
}

int control(int argc, char** argv) {
    const bool known = argc >= 3 && std::any_of(std::begin(kControlCommands), std::end(kControlCommands),
                                                [&](const ControlCommand& command) {
                                                    return std::string(argv[2]) == command.name;
                                                });
    if (!known) {
        if (argc >= 3) std::fprintf(stderr, "player-standin: unknown command \"%s\"\n", argv[2]);
        printUsage(stderr);
        return 2;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kBundleIdentifier, kControlPath, kControlInterface,
                                                       QStringLiteral("Control"));
    call.setAutoStartService(false);
    call << QString::fromLocal8Bit(argv[2]) << QString::fromLocal8Bit(argc > 3 ? argv[3] : "");
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 10000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        std::fprintf(stderr, "player-standin: no player answers (%s)\n", qPrintable(reply.errorMessage()));
        return 1;
    }
    const QString answer = reply.arguments().constFirst().toString();
    std::printf("%s\n", qPrintable(answer));
    return answer.startsWith(QStringLiteral("error")) ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        printUsage(stdout);
        return 0;
    }
    QCoreApplication app(argc, argv);
    if (argc >= 2 && std::string(argv[1]) == "--ctl") return control(argc, argv);

    if (socketpair(AF_UNIX, SOCK_STREAM, 0, gSignalPipe) != 0) return 1;
    struct sigaction action {};
    action.sa_handler = onTerminateSignal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    QSocketNotifier terminateSignals(gSignalPipe[0], QSocketNotifier::Read);
    QObject::connect(&terminateSignals, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });

    const std::string path = player::MusicLibraryFile::defaultPath();
    provideLibrary(path);
    player::MusicLibraryFile file(path);
    Result<player::MusicLibrary> loaded = file.load();
    if (!loaded && file.readOnly())
        std::fprintf(stderr,
                     "player-standin: %s; running read-only with an empty library: the file is left as it is "
                     "and no change is saved\n",
                     loaded.error().c_str());
    else if (!loaded)
        std::fprintf(stderr, "player-standin: %s; starting with an empty library\n", loaded.error().c_str());
    if (!CFPreferencesCopyAppValue("allow-half-stars", kBundleIdentifier)) {
        CFPreferencesSetAppValue("allow-half-stars", PropertyList(false), kBundleIdentifier);
        CFPreferencesAppSynchronize(kBundleIdentifier);
    }

    StandInPlayer standIn(loaded ? std::move(loaded).value() : player::MusicLibrary(), std::move(file));
    if (!standIn.publish()) {
        std::fprintf(stderr, "player-standin: \"%s\" is taken or the bus is unreachable\n",
                     kBundleIdentifier);
        return 1;
    }
    if (std::optional<std::vector<uint8_t>> first =
            NSWorkspace::launchAppleEventFromArguments(app.arguments()))
        QTimer::singleShot(0, &app,
                           [&standIn, event = std::move(*first)] { standIn.handleFirstEvent(event); });

    const int result = app.exec();
    standIn.save();
    return result;
}

#include "main.moc"
