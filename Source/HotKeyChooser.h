// A modal chooser of one hot key: a window with a hot-key field, OK and Cancel that end its
// modal loop, and a listener that writes the name of every key event into the field until a
// mouse button goes down. Main thread only.
#pragma once

#include <QObject>
#include <QPointer>

class HotKeyTextField;
class QEventLoop;
class Window;

class HotKeyChooser : public QObject {
    Q_OBJECT
public:
    HotKeyChooser(const HotKeyChooser&) = delete;
    HotKeyChooser& operator=(const HotKeyChooser&) = delete;

    HotKeyChooser(Window* chooseHotKeyWindow, HotKeyTextField* hotKeyField);
    ~HotKeyChooser() override;

    // Shows the window and runs its modal loop until OK or Cancel; answers whether to save.
    bool runModal();
    // End the modal loop, to save or not.
    void ok();
    void cancel();
    // Writes each key-down, key-up and auto-repeated key into the field until a mouse-down.
    void listenForKeyEvents();

    bool save() const { return mSave; }
    bool keepListening() const { return mKeepListening; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void endModal(bool save);

    QPointer<Window> chooseHotKeyWindow;
    QPointer<HotKeyTextField> hotKeyField;
    bool mSave{false};
    bool mKeepListening{false};
    QEventLoop* mModalLoop{nullptr};
    QEventLoop* mListenLoop{nullptr};
};
