#include "platform/AppKit/Alert.h"

#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <array>
#include <optional>

#include "platform/AppKit/Window.h"

namespace {

AlertPresenter* gInstalled = nullptr;

struct StyleIcon {
    NSAlertStyle style;
    QMessageBox::Icon icon;
};
constexpr std::array<StyleIcon, 3> kIcons{{{NSAlertStyle::Warning, QMessageBox::Warning},
                                           {NSAlertStyle::Informational, QMessageBox::Information},
                                           {NSAlertStyle::Critical, QMessageBox::Critical}}};

QMessageBox::Icon iconFor(NSAlertStyle style) {
    for (const StyleIcon& entry : kIcons)
        if (entry.style == style) return entry.icon;
    return QMessageBox::Warning;
}

std::vector<std::string> titlesOf(const NSAlert& alert) {
    std::vector<std::string> titles = alert.buttonTitles();
    if (titles.empty()) titles.push_back("OK");
    return titles;
}

// A box with the alert's buttons in order; each button's index gives its answer.
std::unique_ptr<QMessageBox> makeBox(const NSAlert& alert, QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setIcon(iconFor(alert.alertStyle));
    if (!alert.iconPath.empty()) box->setIconPixmap(QPixmap(QString::fromStdString(alert.iconPath)));
    box->setText(QString::fromStdString(alert.messageText));
    box->setInformativeText(QString::fromStdString(alert.informativeText));
    const std::vector<std::string> titles = titlesOf(alert);
    for (size_t i = 0; i < titles.size(); ++i) {
        QPushButton* button = box->addButton(QString::fromStdString(titles[i]),
                                             i == 0 ? QMessageBox::AcceptRole : QMessageBox::RejectRole);
        button->setProperty("alertResponse", static_cast<qlonglong>(NSAlertFirstButtonReturn + i));
        if (i == 0) box->setDefaultButton(button);
        if (i == 1) box->setEscapeButton(button);
    }
    if (alert.showsSuppressionButton) {
        auto* check = new QCheckBox(QString::fromStdString(alert.suppressionButtonTitle));
        check->setChecked(alert.suppressionButtonState());
        box->setCheckBox(check);
    }
    return box;
}

void recordSuppression(const NSAlert& alert, const QMessageBox& box) {
    if (const QCheckBox* check = box.checkBox()) alert.setSuppressionButtonState(check->isChecked());
}

// A window kept above the others that is on the screen, if any.
Window* floatingWindow() {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* window = qobject_cast<Window*>(top);
        if (window && window->isVisible() && !window->isMinimized() && window->level() > NSNormalWindowLevel)
            return window;
    }
    return nullptr;
}

NSModalResponse responseOf(const QMessageBox& box) {
    const QAbstractButton* clicked = box.clickedButton();
    if (!clicked) return NSAlertFirstButtonReturn + 1;  // closed without a choice: as the cancel button
    return clicked->property("alertResponse").toLongLong();
}

}  // namespace

AlertPresenter& AlertPresenter::current() {
    static MessageBoxAlertPresenter messageBoxes;
    return gInstalled ? *gInstalled : messageBoxes;
}

void AlertPresenter::setCurrent(AlertPresenter* presenter) {
    gInstalled = presenter;
}

NSModalResponse NSAlert::runModal() {
    std::optional<NSModalResponse> answer;
    AlertPresenter::current().present(*this, nullptr, [&answer](NSModalResponse r) { answer = r; });
    // A presenter answers a modal alert before it returns; one that does not counts as the first button.
    return answer.value_or(NSAlertFirstButtonReturn);
}

void NSAlert::beginSheetModalForWindow(Window* window,
                                       std::function<void(NSModalResponse)> completionHandler) {
    AlertPresenter::current().present(*this, window,
                                      [handler = std::move(completionHandler)](NSModalResponse r) {
                                          if (handler) handler(r);
                                      });
}

void MessageBoxAlertPresenter::present(const NSAlert& alert, Window* sheetWindow,
                                       std::function<void(NSModalResponse)> done) {
    if (!sheetWindow) {
        // Over a floating window, or that window would cover it and the application would seem
        // stuck. Answered, it gives the keys back to the window that showed it: the window
        // manager would hand them to the floating window it was kept above.
        const QPointer<QWidget> shower = QApplication::activeWindow();
        std::unique_ptr<QMessageBox> box = makeBox(alert, floatingWindow());
        box->exec();
        if (shower && shower->isVisible()) shower->activateWindow();
        recordSuppression(alert, *box);
        done(responseOf(*box));
        return;
    }
    std::unique_ptr<QMessageBox> owned = makeBox(alert, sheetWindow);
    QMessageBox* box = owned.release();  // owned by its parent window until it finishes
    box->setWindowModality(Qt::WindowModal);
    box->setAttribute(Qt::WA_DeleteOnClose, false);
    QObject::connect(box, &QMessageBox::finished, box, [box, alert, done = std::move(done)](int) {
        recordSuppression(alert, *box);
        done(responseOf(*box));
        box->deleteLater();
    });
    box->open();
}
