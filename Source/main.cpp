// Beatwick's entry point: the application object, the factory defaults, the session bus (the
// Apple-event transport, the running applications, the name "com.orvo.Beatwick"), the
// controller with the system's services, then the event loop. Every thread Beatwick starts has
// ended when main returns: the metronome's with the controller, the audio output's just after.
#include <cstdio>

#include "Source/BeatwickApplication.h"
#include "Source/BridgePlayer.h"
#include "Source/Controller.h"
#include "Source/FeedbackWindowController.h"
#include "Source/PlayerBridge/PlayerBridge.h"
#include "Source/SystemControllerEnvironment.h"
#include "platform/AppleEvents/DBusTransport.h"
#include "platform/AudioToolbox/AudioOutput.h"
#include "platform/Carbon/Clock.h"
#include "platform/Foundation/BusApplication.h"
#include "platform/Foundation/BusRunningApplications.h"
#include "platform/Foundation/Preferences.h"
#include "platform/Foundation/TerminationSignals.h"
#include "platform/Foundation/UserDefaults.h"

int main(int argc, char** argv) {
    const ScopedAudioShutdown audio;
    BeatwickApplication application(argc, argv);
    // A logout or Ctrl+C ends the program as Quit does, so what it keeps at quit is written.
    const TerminationSignals termination;
    DBusTransport::install();
    BusRunningApplications::install();
    // A quit request ends the event loop, so the controller's termination runs as for any quit.
    BusApplication busApplication([] { QCoreApplication::quit(); }, [&application] { application.reopen(); });
    if (!busApplication.publish("com.orvo.Beatwick"))
        std::fprintf(stderr,
                     "Beatwick: the bus name \"com.orvo.Beatwick\" is taken or the bus is unreachable\n");

    NSUserDefaults& defaults = NSUserDefaults::standardUserDefaults();
    Controller::initialize(defaults);
    application.initHotKeyController(defaults);

    // A support request names the player's version.
    FeedbackWindowController::setPlayerVersionSource(
        [] { return PlayerBridge::sharedInstance().versionString(); });
    SystemControllerEnvironment environment;
    BridgePlayer player;
    Controller controller({environment, player, defaults, PreferencesStore::shared(), Clock::system(),
                           application.hotKeyController()});
    return application.run(controller);
}
