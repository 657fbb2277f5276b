#pragma once

#include <QList>
#include <QMetaMethod>
#include <QObject>

class QAction;
class QKeyEvent;
class QWidget;

// The actions of a window with their execute and update handlers, named in the window
// description by the dynamic properties OnExecute and OnUpdate (slots of the window taking
// the sender). Update handlers run when the application goes idle and before every execution;
// executing runs the execute handler only when the action is then enabled.
class TActionList : public QObject {
    Q_OBJECT

public:
    // Binds the actions among the window's children; a handler the window lacks raises.
    explicit TActionList(QWidget* Window);

    void UpdateActions();
    // Runs the update handler; returns whether the action is then enabled.
    bool UpdateAction(QAction* Action);
    // Update, then the execute handler when enabled; returns whether it ran.
    bool Execute(QAction* Action);
    // For a key that is the shortcut of an action disabled after its update: such a key is
    // not consumed as a shortcut and goes on to the key handlers.
    bool IsDisabledShortcut(const QKeyEvent& Key);

private:
    struct TBinding {
        QAction* Action;
        QMetaMethod OnExecute;
        QMetaMethod OnUpdate;
    };
    const TBinding* Find(const QAction* Action) const;
    QMetaMethod Handler(const QAction* Action, const char* Property) const;
    void Invoke(const QMetaMethod& Method, QAction* Action);

    QWidget* FWindow;
    QList<TBinding> FBindings;
};
