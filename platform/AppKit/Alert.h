// Alerts: a message, an informative text, a style and buttons. They run modal, or as a sheet on a
// window with an end handler, always through the installed presenter, so tests answer them
// without a modal loop. The first button added is the default (Return), and answers
// NSAlertFirstButtonReturn; the next ones answer the following numbers.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

class Window;

enum class NSAlertStyle { Warning = 0, Informational = 1, Critical = 2 };

using NSModalResponse = long;
inline constexpr NSModalResponse NSAlertFirstButtonReturn = 1000;
inline constexpr NSModalResponse NSAlertSecondButtonReturn = 1001;
inline constexpr NSModalResponse NSAlertThirdButtonReturn = 1002;

class NSAlert {
public:
    std::string messageText;
    std::string informativeText;
    NSAlertStyle alertStyle{NSAlertStyle::Warning};
    // Shown instead of the style's icon when set (a file path).
    std::string iconPath;

    // A check box under the texts when set (the suppression button), with its title.
    bool showsSuppressionButton{false};
    std::string suppressionButtonTitle{"Do not show this message again"};

    void addButtonWithTitle(const std::string& title) { mButtons.push_back(title); }
    const std::vector<std::string>& buttonTitles() const { return mButtons; }

    // The check box's state, set by the presenter before it answers. Copies of an alert share
    // it, so an end handler that keeps a copy reads what the user chose.
    bool suppressionButtonState() const { return *mSuppressionState; }
    void setSuppressionButtonState(bool on) const { *mSuppressionState = on; }

    // Runs until answered and returns the answer. An alert without buttons gets one "OK".
    NSModalResponse runModal();
    // Shows the alert as a sheet on the window and returns at once; the handler gets the answer.
    // Without a window it runs modal and then calls the handler.
    void beginSheetModalForWindow(Window* window, std::function<void(NSModalResponse)> completionHandler);

private:
    std::vector<std::string> mButtons;
    std::shared_ptr<bool> mSuppressionState = std::make_shared<bool>(false);
};

// Shows alerts. The handler is called exactly once with the answer, at once or later.
class AlertPresenter {
public:
    virtual ~AlertPresenter() = default;
    // `sheetWindow` is the window to attach a sheet to, or nullptr for a modal alert.
    virtual void present(const NSAlert& alert, Window* sheetWindow,
                         std::function<void(NSModalResponse)> done) = 0;

    // The presenter in use: message boxes unless one was installed.
    static AlertPresenter& current();
    // Installs a presenter (not owned; nullptr restores the message boxes).
    static void setCurrent(AlertPresenter* presenter);
};

// Message boxes: a window-modal one for a sheet, an application-modal one with its own loop otherwise.
class MessageBoxAlertPresenter : public AlertPresenter {
public:
    void present(const NSAlert& alert, Window* sheetWindow,
                 std::function<void(NSModalResponse)> done) override;
};
