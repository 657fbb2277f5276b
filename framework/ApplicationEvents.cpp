#include "framework/ApplicationEvents.h"

#include "framework/Application.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindowStateChangeEvent>

TApplicationEvents::TApplicationEvents(QObject* Parent) : QObject(Parent)
{
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, &TApplicationEvents::StateChanged);
    qApp->installEventFilter(this);
}

void TApplicationEvents::StateChanged(Qt::ApplicationState State)
{
    if (State != Qt::ApplicationActive)
        Guarded([this] { emit Deactivate(this); });
}

bool TApplicationEvents::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Event->type() == QEvent::WindowStateChange) {
        auto* Window = qobject_cast<QWidget*>(Watched);
        const auto* Change = static_cast<QWindowStateChangeEvent*>(Event);
        if (Window && Window->isWindow() && Window->isMinimized() && !(Change->oldState() & Qt::WindowMinimized))
            Guarded([this] { emit Minimize(this); });
    }
    return false;
}
