#include "Source/AboutWindowController.h"

#include <QFile>
#include <QTextBrowser>
#include <QTimer>

#include "Source/NoBPMView.h"
#include "Source/WebLinks.h"
#include "platform/AppKit/Font.h"
#include "platform/AppKit/TextField.h"
#include "platform/AppKit/Window.h"
#include "platform/Foundation/Bundle.h"

namespace {

std::unique_ptr<AboutWindowController>& shared() {
    static std::unique_ptr<AboutWindowController> controller;
    return controller;
}

std::string infoText(const char* key) {
    return NSBundle::mainBundle().objectForInfoDictionaryKey(key).value_or("");
}

}  // namespace

AboutWindowController& AboutWindowController::aboutController() {
    if (!shared()) shared().reset(new AboutWindowController());
    return *shared();
}

AboutWindowController* AboutWindowController::existingController() {
    return shared().get();
}

void AboutWindowController::releaseSharedController() {
    shared().reset();
}

AboutWindowController::AboutWindowController() : mWindow(std::make_unique<Window>(NSSize{340, 300})) {
    mWindow->setTitle(NSBundle::mainBundle().localizedStringForKey("About Beatwick", "", ""));
    View* content = mWindow->contentView();
    new NoBPMView(NSRect{{138, 220}, {64, 64}}, content);  // the application's icon
    fAppNameField = new TextField(content);
    fAppNameField->setFrameRect(NSRect{{20, 190}, {300, 22}});
    fAppNameField->setNSFont(NSFont::boldSystemFontOfSize(14));
    fVersionField = new TextField(content);
    fVersionField->setFrameRect(NSRect{{20, 168}, {300, 18}});
    for (TextField* field : {fAppNameField, fVersionField}) {
        field->setEditable(false);
        field->setBordered(false);
        field->setDrawsBackground(false);
        field->setAlignment(Qt::AlignHCenter);
    }
    fCreditsField = new QTextBrowser(content);
    fCreditsField->setGeometry(20, 300 - 160, 300, 140);
    // Links go to the browser, never into the credits field itself.
    fCreditsField->setOpenLinks(false);
    QObject::connect(fCreditsField, &QTextBrowser::anchorClicked,
                     [this](const QUrl& url) { openWebLink(url.toString().toStdString(), mWindow.get()); });
    QObject::connect(mWindow.get(), &Window::willClose, [] {
        // The window is closing inside its own event: the controller goes afterwards.
        QTimer::singleShot(0, [] {
            if (shared()) shared()->windowWillClose();
        });
    });
    awakeFromNib();
    windowDidLoad();
}

AboutWindowController::~AboutWindowController() = default;

void AboutWindowController::awakeFromNib() {
    fAppNameField->setStringValue(infoText("CFBundleName"));
    fVersionField->setStringValue(infoText("CFBundleShortVersionString") + " (" +
                                  infoText("CFBundleVersion") + ")");
    if (auto path = NSBundle::mainBundle().pathForResource("Credits", "html")) {
        QFile file(QString::fromStdString(*path));
        if (file.open(QIODevice::ReadOnly)) fCreditsField->setHtml(QString::fromUtf8(file.readAll()));
    }
}

void AboutWindowController::windowDidLoad() {
    mWindow->center();
}

void AboutWindowController::showWindow() {
    mWindow->makeKeyAndOrderFront();
}

void AboutWindowController::windowWillClose() {
    shared().reset();
}
