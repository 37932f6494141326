// Beatwick's entry point: the application object, the factory defaults, the controller with the
// system's services, then the event loop.
#include "Source/BeatwickApplication.h"
#include "Source/BridgePlayer.h"
#include "Source/Controller.h"
#include "Source/SystemControllerEnvironment.h"
#include "platform/Carbon/Clock.h"
#include "platform/Foundation/Preferences.h"
#include "platform/Foundation/UserDefaults.h"

int main(int argc, char** argv) {
    BeatwickApplication application(argc, argv);
    NSUserDefaults& defaults = NSUserDefaults::standardUserDefaults();
    Controller::initialize(defaults);
    application.initHotKeyController();

    SystemControllerEnvironment environment;
    BridgePlayer player;
    Controller controller({environment, player, defaults, PreferencesStore::shared(), Clock::system()});
    return application.run(controller);
}
