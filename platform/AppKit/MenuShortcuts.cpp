#include "platform/AppKit/MenuShortcuts.h"

#include <QApplication>
#include <QMenuBar>
#include <QPointer>
#include <QShortcut>

#include "platform/AppKit/Event.h"
#include "platform/AppKit/KeyboardLayout.h"
#include "platform/AppKit/Menu.h"

QKeySequence keySequenceFor(int qtKey, uint32_t mask) {
    int modifiers = 0;
    if (mask & NSShiftKeyMask) modifiers |= Qt::ShiftModifier;
    if (mask & NSCommandKeyMask) modifiers |= Qt::ControlModifier;
    if (mask & NSControlKeyMask) modifiers |= Qt::MetaModifier;
    if (mask & NSAlternateKeyMask) modifiers |= Qt::AltModifier;
    if (mask & NSNumericPadKeyMask) modifiers |= Qt::KeypadModifier;
    return QKeySequence(QKeyCombination(Qt::KeyboardModifiers(modifiers), Qt::Key(qtKey)));
}

QString shortcutText(const QKeySequence& sequence) {
    if (sequence.count() == 1) {
        const QKeyCombination combination = sequence[0];
        if (const auto accent = KeyboardLayout::accentForQtDeadKey(combination.key())) {
            // The modifiers as Qt names them, in its order: those of the same combination on "A".
            QString text = QKeySequence(QKeyCombination(combination.keyboardModifiers(), Qt::Key_A))
                               .toString(QKeySequence::NativeText);
            text.chop(1);
            return text + QString::fromStdString(*accent);
        }
    }
    return sequence.toString(QKeySequence::NativeText);
}

MenuShortcuts::~MenuShortcuts() {
    for (QShortcut* s : mShortcuts) delete s;
}

void MenuShortcuts::rebind(NSMenu& menu, QWidget& owner) {
    for (QShortcut* s : mShortcuts) delete s;
    mShortcuts.clear();
    bindMenu(menu, owner);
}

void MenuShortcuts::bindMenu(NSMenu& menu, QWidget& owner) {
    for (size_t i = 0; i < menu.numberOfItems(); ++i) {
        NSMenuItem* item = menu.itemAtIndex(i);
        if (item->submenu()) bindMenu(*item->submenu(), owner);
        if (item->shortcut().isEmpty()) continue;
        auto* shortcut = new QShortcut(item->shortcut(), &owner);
        shortcut->setContext(Qt::ApplicationShortcut);
        shortcut->setAutoRepeat(false);
        QObject::connect(shortcut, &QShortcut::activated, shortcut, [item] { item->performAction(); });
        mShortcuts.push_back(shortcut);
    }
}

namespace {

// Keeps the keys with the window's focused view while no menu of the bar is open. Qt hands the
// keyboard to the bar when a menu is closed with Escape or Alt is pressed alone, and the bar then
// takes every key unseen (Space opens a menu again) until a second Escape, so taps and keys stop
// reaching the view. Menus here hold the keys only while one is open.
class MenuBarKeyKeeper : public QObject {
public:
    explicit MenuBarKeyKeeper(QMenuBar* bar) : QObject(bar), mBar(bar) {
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
            // At once: a key already on its way would otherwise still reach the bar.
            if (now == mBar)
                giveBackTheKeys();
            else if (now && now->window() == mBar->window())
                mViewFocus = now;
        });
    }
    // After a menu closes, checked once its turn is done: moving from one menu to the next closes
    // one and opens the other in the same turn.
    void check() {
        QMetaObject::invokeMethod(
            this, [this] { giveBackTheKeys(); }, Qt::QueuedConnection);
    }

private:
    void giveBackTheKeys() {
        if (!mBar->hasFocus() || QApplication::activePopupWidget()) return;
        // Losing the focus also takes the bar out of its keyboard mode and its highlight.
        if (mViewFocus)
            mViewFocus->setFocus(Qt::OtherFocusReason);
        else
            mBar->clearFocus();
    }

    QMenuBar* mBar;
    QPointer<QWidget> mViewFocus;
};

}  // namespace

QMenuBar* makeMenuBar(NSMenu& mainMenu, QWidget* parent) {
    auto* bar = new QMenuBar(parent);
    auto* keeper = new MenuBarKeyKeeper(bar);
    for (size_t i = 0; i < mainMenu.numberOfItems(); ++i) {
        NSMenuItem* item = mainMenu.itemAtIndex(i);
        if (!item->submenu()) continue;
        QMenu* qmenu = bar->addMenu(qtMenuText(item->title()));
        NSMenu* model = item->submenu();
        QObject::connect(qmenu, &QMenu::aboutToShow, qmenu, [qmenu, model] { model->fillQMenu(*qmenu); });
        model->fillQMenu(*qmenu);
        QObject::connect(qmenu, &QMenu::aboutToHide, keeper, [keeper] { keeper->check(); });
    }
    return bar;
}
