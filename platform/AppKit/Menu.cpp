#include "platform/AppKit/Menu.h"

#include <QAction>
#include <QMenu>
#include <QString>

#include "platform/AppKit/Event.h"
#include "platform/AppKit/MenuShortcuts.h"

namespace {
constexpr uint32_t kMatchedMasks = NSShiftKeyMask | NSControlKeyMask | NSAlternateKeyMask | NSCommandKeyMask;
}  // namespace

NSMenuItem::NSMenuItem(std::string title, std::function<void()> act, std::string keyEquivalent)
    : action(std::move(act)), mTitle(std::move(title)), mKeyEquivalent(std::move(keyEquivalent)) {}

std::unique_ptr<NSMenuItem> NSMenuItem::separatorItem() {
    auto item = std::make_unique<NSMenuItem>(std::string{}, nullptr, std::string{});
    item->mSeparator = true;
    item->mEnabled = false;
    return item;
}

void NSMenuItem::setSubmenu(std::unique_ptr<NSMenu> submenu) {
    mSubmenu = std::move(submenu);
    if (mSubmenu) mSubmenu->mSupermenu = mMenu;
}

void NSMenuItem::runValidation() {
    if (validate) mEnabled = validate(*this);
}

bool NSMenuItem::performAction() {
    runValidation();
    if (!mEnabled || mSeparator || !action) return false;
    // The action may rebuild the menu that owns this item.
    auto act = action;
    act();
    return true;
}

NSMenu::NSMenu(std::string title) : mTitle(std::move(title)) {}
NSMenu::~NSMenu() = default;

NSMenuItem* NSMenu::addItem(std::unique_ptr<NSMenuItem> item) {
    return insertItem(std::move(item), mItems.size());
}

NSMenuItem* NSMenu::addItemWithTitle(const std::string& title, std::function<void()> action,
                                     const std::string& keyEquivalent) {
    return addItem(std::make_unique<NSMenuItem>(title, std::move(action), keyEquivalent));
}

NSMenuItem* NSMenu::insertItemWithTitle(const std::string& title, std::function<void()> action,
                                        const std::string& keyEquivalent, size_t index) {
    return insertItem(std::make_unique<NSMenuItem>(title, std::move(action), keyEquivalent), index);
}

NSMenuItem* NSMenu::insertItem(std::unique_ptr<NSMenuItem> item, size_t index) {
    if (!item) return nullptr;
    if (index > mItems.size()) index = mItems.size();
    item->mMenu = this;
    if (item->mSubmenu) item->mSubmenu->mSupermenu = this;
    NSMenuItem* raw = item.get();
    mItems.insert(mItems.begin() + static_cast<std::ptrdiff_t>(index), std::move(item));
    return raw;
}

void NSMenu::removeItemAtIndex(size_t index) {
    if (index < mItems.size()) mItems.erase(mItems.begin() + static_cast<std::ptrdiff_t>(index));
}

void NSMenu::removeAllItems() {
    mItems.clear();
}

NSMenuItem* NSMenu::itemAtIndex(size_t index) const {
    return index < mItems.size() ? mItems[index].get() : nullptr;
}

NSMenuItem* NSMenu::itemWithTag(long tag) const {
    for (const auto& item : mItems)
        if (!item->mSeparator && item->tag() == tag) return item.get();
    return nullptr;
}

NSMenuItem* NSMenu::itemWithTitle(const std::string& title) const {
    for (const auto& item : mItems)
        if (!item->mSeparator && item->title() == title) return item.get();
    return nullptr;
}

NSMenuItem* NSMenu::findItemWithTag(long tag) const {
    if (NSMenuItem* item = itemWithTag(tag)) return item;
    for (const auto& item : mItems)
        if (item->submenu())
            if (NSMenuItem* found = item->submenu()->findItemWithTag(tag)) return found;
    return nullptr;
}

void NSMenu::update() {
    for (const auto& item : mItems) {
        item->runValidation();
        if (item->submenu()) item->submenu()->update();
    }
}

bool NSMenu::performKeyEquivalent(const NSEvent& event) {
    for (const auto& item : mItems) {
        if (item->submenu() && item->submenu()->performKeyEquivalent(event)) return true;
        if (item->mSeparator || item->keyEquivalent().empty()) continue;
        if (!keyEquivalentMatches(item->keyEquivalent(), item->keyEquivalentModifierMask(), event)) continue;
        // A matching but disabled item still consumes the key, as a menu does.
        item->performAction();
        return true;
    }
    return false;
}

QString qtMenuText(const std::string& title) {
    return QString::fromStdString(title).replace(QLatin1Char('&'), QLatin1String("&&"));
}

void NSMenu::fillQMenu(QMenu& menu) {
    // clear() drops the actions but keeps the submenus the last fill made.
    for (QMenu* old : menu.findChildren<QMenu*>(Qt::FindDirectChildrenOnly)) delete old;
    menu.clear();
    if (needsUpdate) needsUpdate(*this);
    update();
    for (const auto& item : mItems) {
        if (item->mSeparator) {
            menu.addSeparator();
            continue;
        }
        const QString title = qtMenuText(item->title());
        if (item->submenu()) {
            QMenu* sub = menu.addMenu(title);
            NSMenu* model = item->submenu();
            QObject::connect(sub, &QMenu::aboutToShow, sub, [sub, model] { model->fillQMenu(*sub); });
            sub->setEnabled(item->isEnabled());
            continue;
        }
        QAction* qaction = menu.addAction(title);
        qaction->setEnabled(item->isEnabled());
        qaction->setCheckable(item->state() != NSOffState);
        qaction->setChecked(item->state() == NSOnState);
        // Shown only: the binding itself is application-wide, made elsewhere.
        if (!item->shortcut().isEmpty())
            qaction->setText(title + QStringLiteral("\t") + shortcutText(item->shortcut()));
        NSMenuItem* raw = item.get();
        QObject::connect(qaction, &QAction::triggered, qaction, [raw] { raw->performAction(); });
    }
}

bool keyEquivalentMatches(const std::string& key, uint32_t mask, const NSEvent& event) {
    if (key.empty() || event.type != NSEventType::KeyDown) return false;
    if ((event.modifierFlags & kMatchedMasks) != (mask & kMatchedMasks)) return false;
    // By character, not by byte: "Ö" typed with Shift is the item "ö".
    return QString::fromStdString(event.charactersIgnoringModifiers).toCaseFolded() ==
           QString::fromStdString(key).toCaseFolded();
}
