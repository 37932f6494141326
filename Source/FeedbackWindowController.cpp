#include "Source/FeedbackWindowController.h"

#include <QDateTime>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QSysInfo>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "network/RunningVersion.h"
#include "network/TFeedbackTask.h"
#include "network/TServerConfig.h"
#include "platform/AppKit/Alert.h"
#include "platform/AppKit/Button.h"
#include "platform/AppKit/Font.h"
#include "platform/AppKit/TextField.h"
#include "platform/AppKit/WidgetFrame.h"
#include "platform/AppKit/Window.h"
#include "platform/Foundation/Bundle.h"
#include "platform/Foundation/NotificationCenter.h"

QPoint FeedbackWindowController::sTopLeftPoint;

static_assert(FeedbackWindowController::kTextLimit == TFeedbackTask::kTextSize - 1,
              "the form sends no more than the task keeps");

namespace {

// Option-Tab puts a tab into the details; a plain Tab moves on to the next control.
class TabFilter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Tab || !(key->modifiers() & Qt::AltModifier)) return false;
        static_cast<QPlainTextEdit*>(object)->insertPlainText("\t");
        return true;
    }
};

std::vector<FeedbackWindowController*>& forms() {
    static std::vector<FeedbackWindowController*> list;
    return list;
}

FeedbackWindowController::Sender& sender() {
    static FeedbackWindowController::Sender current;
    return current;
}

std::function<std::optional<std::string>()>& playerVersion() {
    static std::function<std::optional<std::string>()> source;
    return source;
}

std::string localized(const char* key, const char* table = "") {
    return NSBundle::mainBundle().localizedStringForKey(key, "", table);
}

// At most `limit` bytes of the UTF-8 text, never half a character.
std::string capped(std::string text, size_t limit) {
    if (text.size() <= limit) return text;
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    return text;
}

std::string systemVersion() {
    return capped(QSysInfo::prettyProductName().toStdString(), FeedbackWindowController::kFieldLimit);
}

}  // namespace

FeedbackWindowController::FeedbackWindowController() : fWindow(new Window(NSSize{480, 400})) {
    fWindow->setAttribute(Qt::WA_DeleteOnClose, false);
    View* content = fWindow->contentView();
    // The intro wraps: its last sentence says what a request carries besides the user's words.
    fDescriptionLabel = new QLabel(content);
    fDescriptionLabel->setWordWrap(true);
    fDescriptionLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    fDescriptionLabel->setFont(NSFont::systemFontOfSize(13).toQFont());
    setFrameOfWidget(*fDescriptionLabel, NSRect{{20, 336}, {440, 56}});
    auto field = [&](double y) {
        auto* f = new TextField(content);
        f->setFrameRect(NSRect{{20, y}, {440, 22}});
        return f;
    };
    fNameField = field(308);
    fEmailField = field(280);
    fSummaryField = field(252);
    fNameField->setPlaceholderText("Name");
    fEmailField->setPlaceholderText("E-mail");
    fSummaryField->setPlaceholderText("Summary");
    fTextView = new QPlainTextEdit(content);
    fTextView->setGeometry(20, 400 - 240, 440, 180);
    fSubmitButton = new Button(NSRect{{370, 12}, {90, 28}}, content);
    fSubmitButton->setTitle(localized("Submit"));
    fCancelButton = new Button(NSRect{{270, 12}, {90, 28}}, content);
    fCancelButton->setTitle(localized("Cancel"));
    awakeFromNib();
    windowDidLoad();
}

FeedbackWindowController::~FeedbackWindowController() {
    NSNotificationCenter::defaultCenter().removeObserver(this);
    std::erase(forms(), this);
    delete fWindow;
}

void FeedbackWindowController::awakeFromNib() {
    fSubmitButton->action = [this] { submit(); };
    fCancelButton->action = [this] { cancel(); };
    fTextView->setFont(NSFont::systemFontOfSize(13).toQFont());
    fTextView->setTabChangesFocus(true);
    fTextView->installEventFilter(new TabFilter(fTextView));
    for (TextField* f : {fNameField, fEmailField, fSummaryField})
        QObject::connect(f, &QLineEdit::textChanged, [this] { submitButtonEnabled(); });
    QObject::connect(fTextView, &QPlainTextEdit::textChanged, [this] { submitButtonEnabled(); });
    // Only this form's own results: another open form sends its own.
    auto& center = NSNotificationCenter::defaultCenter();
    center.addObserver(this, "FeedbackSucceeded", this,
                       [this](const NSNotification&) { feedbackSucceeded(); });
    center.addObserver(this, "FeedbackFailed", this, [this](const NSNotification&) { feedbackFailed(); });
    fWindow->windowShouldClose = [this] { return windowShouldClose(); };
    QObject::connect(fWindow, &Window::willClose, [this] { windowWillClose(); });
}

void FeedbackWindowController::setIsFeedback(bool isFeedback) {
    fIsFeedback = isFeedback;
    fDescriptionLabel->setText(
        QString::fromStdString(localized(isFeedback ? "FeedbackFormText" : "SupportFormText")));
    fWindow->setTitle(localized(isFeedback ? "Product Feedback Submission" : "Technical Support Submission"));
}

void FeedbackWindowController::windowDidLoad() {
    fWindow->makeFirstResponder(fNameField);
    fNameField->selectAll();
    // The first form starts the cascade where it stands; each next one moves on from there.
    if (sTopLeftPoint.isNull()) {
        fWindow->center();
        sTopLeftPoint = fWindow->pos();
    }
    fWindow->move(sTopLeftPoint);
    sTopLeftPoint += QPoint(20, 20);
    submitButtonEnabled();
}

void FeedbackWindowController::showWindow() {
    if (std::find(forms().begin(), forms().end(), this) == forms().end()) forms().push_back(this);
    fWindow->makeKeyAndOrderFront();
}

const std::vector<FeedbackWindowController*>& FeedbackWindowController::openForms() {
    return forms();
}

void FeedbackWindowController::submitButtonEnabled() {
    const bool enabled = !fNameField->stringValue().empty() && !fEmailField->stringValue().empty() &&
                         !fTextView->toPlainText().isEmpty();
    fSubmitButton->setEnabled(enabled);
    fSubmitButton->setKeyEquivalent(enabled ? "\r" : "");
}

std::string FeedbackWindowController::getSupportInfo() const {
    try {
        double version = 0;
        if (playerVersion()) {
            if (std::optional<std::string> text = playerVersion()()) version = std::atof(text->c_str());
        }
        char block[kSupportInfoSize];
        const int n = std::snprintf(block, sizeof block,
                                    "---Begin Beatwick info---\rSystem: %s\rBeatwick: %s\riTunes: %f\r"
                                    "---End Beatwick support info---\r",
                                    systemVersion().c_str(), kRunningVersionText, version);
        return n > 0 ? std::string(block, std::min(static_cast<size_t>(n), sizeof block - 1)) : std::string();
    } catch (...) {
        return {};
    }
}

std::string FeedbackWindowController::formText() const {
    const QLocale locale;
    const std::string date = capped(
        locale.toString(QDateTime::currentDateTime(), QLocale::ShortFormat).toStdString(), kFieldLimit);
    std::string text = "Date: " + date + "\r";
    text += std::string("Version: ") + kRunningVersionText + "\r";
    text += "System: " + systemVersion() + "\r";
    text += "Name: " + capped(fNameField->stringValue(), kFieldLimit) + "\r";
    text += "Email: " + capped(fEmailField->stringValue(), kFieldLimit) + "\r";
    text += "Summary: " + capped(fSummaryField->stringValue(), kFieldLimit) + "\r";
    text += "Details: \r\r";
    text += fTextView->toPlainText().toStdString();
    // The support block's room is kept before the details are cut, so it always goes along.
    std::string support;
    if (!fIsFeedback) {
        const std::string info = getSupportInfo();
        if (!info.empty()) support = "\r\r" + info;
    }
    return capped(std::move(text), kTextLimit - support.size()) + support;
}

void FeedbackWindowController::setSender(Sender newSender) {
    sender() = std::move(newSender);
}

void FeedbackWindowController::setPlayerVersionSource(std::function<std::optional<std::string>()> source) {
    playerVersion() = std::move(source);
}

void FeedbackWindowController::submit() {
    const TServerConfig server = TServerConfig::Current();
    const std::string recipient = fIsFeedback ? server.suggestAddress : server.techSupportAddress;
    const char* subject = fIsFeedback ? TFeedbackTask::kSuggestSubject : TFeedbackTask::kTechSupportSubject;
    const std::string text = formText();
    if (sender()) {
        sender()(recipient.c_str(), subject, text, fIsFeedback, this);
        return;
    }
    TFeedbackTask::SendFeedback(recipient.c_str(), subject, text.c_str(), static_cast<SInt32>(text.size()),
                                fIsFeedback, this);
}

void FeedbackWindowController::cancel() {
    fWindow->performClose();
}

void FeedbackWindowController::showSheet(const std::string& name, bool informational,
                                         std::vector<std::string> buttons, std::function<void(long)> done) {
    NSAlert alert;
    alert.alertStyle = informational ? NSAlertStyle::Informational : NSAlertStyle::Warning;
    alert.messageText = localized(("ALERTS_" + name).c_str(), "Alerts");
    alert.informativeText = localized(("ALERTE_" + name).c_str(), "Alerts");
    for (const std::string& button : buttons) alert.addButtonWithTitle(localized(button.c_str()));
    alert.beginSheetModalForWindow(fWindow, std::move(done));
}

bool FeedbackWindowController::windowShouldClose() {
    if (fClosing || fTextView->toPlainText().isEmpty()) return true;
    showSheet(fIsFeedback ? "CloseFeedbackWindow" : "CloseSupportWindow", false, {"Close", "Cancel"},
              [this](long code) {
                  if (code != NSAlertFirstButtonReturn) return;
                  fClosing = true;
                  fWindow->performClose();
              });
    return false;
}

void FeedbackWindowController::feedbackSucceeded() {
    showSheet(fIsFeedback ? "SuggestionSucceeded" : "TechSupportSucceeded", true, {"OK"}, [this](long) {
        fClosing = true;
        fWindow->performClose();
    });
}

void FeedbackWindowController::feedbackFailed() {
    // The window stays open with the text, so the user can try again.
    showSheet(fIsFeedback ? "SuggestionFailed" : "TechSupportFailed", true, {"OK"}, [](long) {});
}

void FeedbackWindowController::windowWillClose() {
    NSNotificationCenter::defaultCenter().removeObserver(this);
    std::erase(forms(), this);
    // The window is closing inside its own event: the controller goes afterwards.
    QTimer::singleShot(0, [this] { delete this; });
}
