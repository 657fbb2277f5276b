#pragma once

#include <QWidget>

class TActionList;
class QAction;

// A window built from a window description. It sees keys before its focused control
// (KeyDown; a handler that sets the key to 0 swallows it), asks CloseQuery before closing,
// and runs its actions through an action list.
class TForm : public QWidget {
    Q_OBJECT

public:
    explicit TForm(QWidget* Parent = nullptr);

    TActionList* ActionList() const { return FActionList; }
    // Executes an action as its shortcut or button would.
    bool Execute(QAction* Action);

    // Asks CloseQuery as a close does, without closing: whether the window may close. An exception
    // of a handler leaves it.
    bool QueryClose();

    QSize ClientSize() const { return size(); }
    // A single fixed border: the client area keeps this size and the window cannot be maximised.
    void SetFixedClientSize(int Width, int Height);

signals:
    void KeyDown(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift);
    void CloseQuery(QObject* Sender, bool& CanClose);

protected:
    // Call once the window description is loaded: binds the actions and links the buttons.
    void Loaded();

    void closeEvent(QCloseEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    bool IsKeyTarget(const QObject* Receiver) const;

    TActionList* FActionList = nullptr;
};
