#include "platform/AppKit/SymbolicHotKeyMode.h"

#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <vector>

namespace {

struct PushedMode {
    SymbolicHotKeyModeToken token;
    uint32_t mode;
    QPointer<QWidget> grabber;
};

struct ModeStack {
    std::vector<PushedMode> modes;
    SymbolicHotKeyModeToken nextToken{1};
    QPointer<QWidget> grabbing;
};

ModeStack& stack() {
    static ModeStack modes;
    return modes;
}

// Only the top mode counts, so at most one widget grabs, and only when the top disables all.
void applyTop() {
    ModeStack& s = stack();
    QWidget* wanted = nullptr;
    if (!s.modes.empty() && s.modes.back().mode == kHIHotKeyModeAllDisabled) wanted = s.modes.back().grabber;
    if (s.grabbing == wanted) return;
    if (s.grabbing && QWidget::keyboardGrabber() == s.grabbing) s.grabbing->releaseKeyboard();
    s.grabbing = wanted;
    if (wanted) wanted->grabKeyboard();
}

}  // namespace

SymbolicHotKeyModeToken PushSymbolicHotKeyMode(uint32_t mode, QWidget* grabber) {
    ModeStack& s = stack();
    const SymbolicHotKeyModeToken token = s.nextToken++;
    s.modes.push_back({token, mode, grabber});
    applyTop();
    return token;
}

void PopSymbolicHotKeyMode(SymbolicHotKeyModeToken token) {
    ModeStack& s = stack();
    std::erase_if(s.modes, [&](const PushedMode& m) { return m.token == token; });
    applyTop();
}

uint32_t currentSymbolicHotKeyMode() {
    const ModeStack& s = stack();
    return s.modes.empty() ? kHIHotKeyModeAllEnabled : s.modes.back().mode;
}
