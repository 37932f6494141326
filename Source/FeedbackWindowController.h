// The feedback and support form: name, e-mail, summary and details, sent to the maker's
// form-mail script on the network worker. Submit is enabled only with a name, an e-mail and
// details. Each form owns itself from the moment it is shown and goes when its window closes;
// it hears only the results of what it sent itself. New windows cascade from the last one.
// Main thread only.
#pragma once

#include <QPoint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class Button;
class QLabel;
class QPlainTextEdit;
class TextField;
class Window;

class FeedbackWindowController {
public:
    // The longest text the feedback task keeps, and so the longest the form sends.
    static constexpr size_t kTextLimit = 65534;
    static constexpr size_t kSupportInfoSize = 4096;
    static constexpr size_t kFieldLimit = 255;

    FeedbackWindowController();
    ~FeedbackWindowController();
    FeedbackWindowController(const FeedbackWindowController&) = delete;
    FeedbackWindowController& operator=(const FeedbackWindowController&) = delete;

    void setIsFeedback(bool isFeedback);
    bool isFeedback() const { return fIsFeedback; }
    void showWindow();
    void submit();
    void cancel();
    // The lines about this system and the player's version that a support request carries.
    std::string getSupportInfo() const;
    // The text submit sends.
    std::string formText() const;
    void submitButtonEnabled();

    // Where submit sends; the network worker unless a test replaces it.
    using Sender = std::function<void(const char* recipient, const char* subject, const std::string& text,
                                      bool isFeedback, const void* form)>;
    static void setSender(Sender sender);
    // The player's version text, when it can be read.
    static void setPlayerVersionSource(std::function<std::optional<std::string>()> source);

    Window* window() const { return fWindow; }
    TextField* nameField() const { return fNameField; }
    TextField* emailField() const { return fEmailField; }
    TextField* summaryField() const { return fSummaryField; }
    QPlainTextEdit* textView() const { return fTextView; }
    QLabel* descriptionLabel() const { return fDescriptionLabel; }
    Button* submitButton() const { return fSubmitButton; }
    Button* cancelButton() const { return fCancelButton; }
    // The forms whose windows are open.
    static const std::vector<FeedbackWindowController*>& openForms();

private:
    void awakeFromNib();
    void windowDidLoad();
    bool windowShouldClose();
    void windowWillClose();
    void feedbackSucceeded();
    void feedbackFailed();
    // A sheet with the "Alerts" texts of the name; the handler gets the answer.
    void showSheet(const std::string& name, bool informational, std::vector<std::string> buttons,
                   std::function<void(long)> done);

    Window* fWindow;
    QLabel* fDescriptionLabel{nullptr};
    TextField* fNameField{nullptr};
    TextField* fEmailField{nullptr};
    TextField* fSummaryField{nullptr};
    QPlainTextEdit* fTextView{nullptr};
    Button* fSubmitButton{nullptr};
    Button* fCancelButton{nullptr};
    bool fIsFeedback{true};
    bool fClosing{false};

    static QPoint sTopLeftPoint;
};
