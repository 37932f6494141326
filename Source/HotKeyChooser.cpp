#include "Source/HotKeyChooser.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>

#include "Source/HotKeyTextField.h"
#include "Source/KeyUtilities.h"
#include "platform/AppKit/Event.h"
#include "platform/AppKit/Window.h"

HotKeyChooser::HotKeyChooser(Window* window, HotKeyTextField* field)
    : chooseHotKeyWindow(window), hotKeyField(field) {}

HotKeyChooser::~HotKeyChooser() {
    // A loop still running when the chooser goes must not come back to it.
    if (mModalLoop) mModalLoop->exit();
    if (mListenLoop) mListenLoop->exit();
    qApp->removeEventFilter(this);
}

bool HotKeyChooser::runModal() {
    if (chooseHotKeyWindow) {
        chooseHotKeyWindow->setWindowModality(Qt::ApplicationModal);
        chooseHotKeyWindow->makeKeyAndOrderFront();
    }
    QEventLoop loop;
    mModalLoop = &loop;
    loop.exec();
    mModalLoop = nullptr;
    if (chooseHotKeyWindow) chooseHotKeyWindow->orderOut();
    return mSave;
}

void HotKeyChooser::ok() {
    endModal(true);
}

void HotKeyChooser::cancel() {
    endModal(false);
}

void HotKeyChooser::endModal(bool save) {
    mSave = save;
    if (mModalLoop) mModalLoop->exit();
}

void HotKeyChooser::listenForKeyEvents() {
    mKeepListening = true;
    qApp->installEventFilter(this);
    QEventLoop loop;
    mListenLoop = &loop;
    loop.exec();
    mListenLoop = nullptr;
    qApp->removeEventFilter(this);
}

bool HotKeyChooser::eventFilter(QObject* watched, QEvent* event) {
    if (!mKeepListening) return QObject::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
            // A key is seen once, at the widget it was sent to, not again as it travels up.
            if (!watched->isWidgetType()) break;
            const auto* key = static_cast<QKeyEvent*>(event);
            if (isModifierOnlyKey(key->key())) break;
            const NSEvent e = NSEvent::keyEvent(*key, NSEventType::KeyDown);
            if (hotKeyField)
                hotKeyField->setStringValue(
                    KeyUtilities::stringForKeyCode(e.keyCode, e.modifierFlags));
            return true;
        }
        case QEvent::MouseButtonPress:
            mKeepListening = false;
            if (mListenLoop) mListenLoop->exit();
            return true;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}
