#include "framework/Actions.h"

#include "framework/Application.h"
#include "framework/Exceptions.h"
#include "framework/StringTable.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QKeyEvent>
#include <QWidget>

using namespace Exceptions;

TActionList::TActionList(QWidget* Window) : QObject(Window), FWindow(Window)
{
    for (QAction* Action : Window->findChildren<QAction*>()) {
        const QMetaMethod OnExecute = Handler(Action, "OnExecute");
        const QMetaMethod OnUpdate = Handler(Action, "OnUpdate");
        if (!OnExecute.isValid() && !OnUpdate.isValid())
            continue;
        FBindings.append({Action, OnExecute, OnUpdate});
        connect(Action, &QAction::triggered, this, [this, Action] { Guarded([&] { Execute(Action); }); });
    }
    if (auto* Dispatcher = QAbstractEventDispatcher::instance())
        connect(Dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                [this] { Guarded([this] { UpdateActions(); }); });
}

QMetaMethod TActionList::Handler(const QAction* Action, const char* Property) const
{
    const QString Name = Action->property(Property).toString();
    if (Name.isEmpty())
        return {};
    const QByteArray Signature = QMetaObject::normalizedSignature((Name + QStringLiteral("(QObject*)")).toLatin1());
    const int Index = FWindow->metaObject()->indexOfSlot(Signature);
    if (Index < 0)
        throw Exception(FrameworkString(SHandlerNotFound).arg(QString::fromLatin1(Signature)));
    return FWindow->metaObject()->method(Index);
}

const TActionList::TBinding* TActionList::Find(const QAction* Action) const
{
    for (const TBinding& Binding : FBindings)
        if (Binding.Action == Action)
            return &Binding;
    return nullptr;
}

void TActionList::Invoke(const QMetaMethod& Method, QAction* Action)
{
    if (Method.isValid())
        Method.invoke(FWindow, Qt::DirectConnection, Q_ARG(QObject*, Action));
}

void TActionList::UpdateActions()
{
    for (const TBinding& Binding : FBindings)
        Invoke(Binding.OnUpdate, Binding.Action);
}

bool TActionList::UpdateAction(QAction* Action)
{
    if (const TBinding* Binding = Find(Action))
        Invoke(Binding->OnUpdate, Action);
    return Action->isEnabled();
}

bool TActionList::Execute(QAction* Action)
{
    if (!UpdateAction(Action))
        return false;
    if (const TBinding* Binding = Find(Action))
        Invoke(Binding->OnExecute, Action);
    return true;
}

bool TActionList::IsDisabledShortcut(const QKeyEvent& Key)
{
    const QKeySequence Pressed(Key.keyCombination());
    for (const TBinding& Binding : FBindings)
        if (Binding.Action->shortcut() == Pressed && !UpdateAction(Binding.Action))
            return true;
    return false;
}
