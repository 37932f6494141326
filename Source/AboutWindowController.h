// The About window: the application's icon, name and version, and its credits. One shared
// controller exists while the window is open; closing the window lets it go, so the next About
// builds a fresh one. Main thread only.
#pragma once

#include <memory>
#include <string>

class QTextBrowser;
class TextField;
class Window;

class AboutWindowController {
public:
    AboutWindowController(const AboutWindowController&) = delete;
    AboutWindowController& operator=(const AboutWindowController&) = delete;
    ~AboutWindowController();

    // The shared controller, made on first use.
    static AboutWindowController& aboutController();
    // The shared controller while one exists.
    static AboutWindowController* existingController();
    // Lets the shared controller and its window go, open or not. The application object does so
    // as it ends: no window may outlive it.
    static void releaseSharedController();

    void showWindow();
    Window* window() const { return mWindow.get(); }
    TextField* appNameField() const { return fAppNameField; }
    TextField* versionField() const { return fVersionField; }
    QTextBrowser* creditsField() const { return fCreditsField; }

private:
    AboutWindowController();
    void awakeFromNib();
    void windowDidLoad();
    void windowWillClose();

    std::unique_ptr<Window> mWindow;
    TextField* fAppNameField{nullptr};
    TextField* fVersionField{nullptr};
    QTextBrowser* fCreditsField{nullptr};
};
