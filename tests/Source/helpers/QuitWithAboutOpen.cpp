// Beatwick's application object quitting while the About window is open, as a user's Quit does.
// Exits 0 when the window went with the application object, 1 when it was left for the exit
// handlers, which would destroy it after the application it needs.
#include <QTimer>

#include "Source/AboutWindowController.h"
#include "Source/BeatwickApplication.h"

int main(int argc, char** argv) {
    {
        BeatwickApplication application(argc, argv);
        AboutWindowController::aboutController().showWindow();
        QTimer::singleShot(0, &application, &QCoreApplication::quit);
        if (application.exec() != 0) return 2;
    }
    return AboutWindowController::existingController() ? 1 : 0;
}
