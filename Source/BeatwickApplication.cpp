#include "Source/BeatwickApplication.h"

#include "Source/Controller.h"

BeatwickApplication::BeatwickApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("Beatwick");
    setOrganizationDomain("orvo.com");
    setQuitOnLastWindowClosed(true);
}

BeatwickApplication::~BeatwickApplication() = default;

int BeatwickApplication::run(Controller& controller) {
    controller.awakeFromNib();
    controller.applicationWillFinishLaunching();
    controller.applicationDidFinishLaunching();
    const int result = exec();
    controller.applicationWillTerminate();
    return result;
}
