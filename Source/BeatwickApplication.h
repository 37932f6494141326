// The application object: the Qt application, the global hot keys' controller, and the
// controller's launch and quit in their order. Main thread only.
#pragma once

#include <QApplication>
#include <memory>

class Controller;
class HotKeyController;
class NSUserDefaults;

class BeatwickApplication : public QApplication {
    Q_OBJECT
public:
    BeatwickApplication(const BeatwickApplication&) = delete;
    BeatwickApplication& operator=(const BeatwickApplication&) = delete;

    BeatwickApplication(int& argc, char** argv);
    ~BeatwickApplication() override;

    // The global hot keys, from the stored shortcuts; made once at start-up.
    void initHotKeyController(NSUserDefaults& defaults);
    HotKeyController* hotKeyController() const { return fHotKeyController.get(); }

    // Launches the controller (factory defaults, init, awakeFromNib, will and did finish
    // launching), runs the event loop, and tells the controller the program is ending.
    int run(Controller& controller);

    // A request to come forward, handled as the desktop's reopen: the application becomes
    // active, then the running controller handles the reopen, told whether any window of the
    // application is visible. Before and after run() only the activation happens.
    void reopen();
    static void reopen(Controller& delegate);

private:
    Controller* fDelegate{nullptr};  // while run() runs
    std::unique_ptr<HotKeyController> fHotKeyController;
};
