#include "framework/Form.h"

#include "framework/Actions.h"
#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/VirtualKeys.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>

TForm::TForm(QWidget* Parent) : QWidget(Parent)
{
    qApp->installEventFilter(this);
}

void TForm::Loaded()
{
    FActionList = new TActionList(this);
    for (TGlyphButton* Button : findChildren<TGlyphButton*>())
        Button->LinkAction();
}

bool TForm::Execute(QAction* Action)
{
    return FActionList && FActionList->Execute(Action);
}

void TForm::SetFixedClientSize(int Width, int Height)
{
    // A single fixed border: without the fixed-size hint Windows gives a sizing frame (WS_THICKFRAME)
    // and a maximise box whatever the size limits.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(Width, Height);
}

bool TForm::QueryClose()
{
    bool CanClose = true;
    emit CloseQuery(this, CanClose);
    return CanClose;
}

void TForm::closeEvent(QCloseEvent* Event)
{
    bool CanClose;
    try {
        CanClose = QueryClose();
    } catch (...) {
        CanClose = false;
        HandleException();
    }
    Event->setAccepted(CanClose);
}

bool TForm::IsKeyTarget(const QObject* Receiver) const
{
    // A key is delivered to the focus widget first, then handed up to its parents; only that
    // first delivery counts, so each key reaches the key handler once.
    const auto* Widget = qobject_cast<const QWidget*>(Receiver);
    if (!Widget || Widget->window() != this)
        return false;
    const QWidget* Focus = QApplication::focusWidget();
    return Focus ? Widget == Focus : Widget == this;
}

bool TForm::eventFilter(QObject* Watched, QEvent* Event)
{
    const QEvent::Type Type = Event->type();
    if ((Type != QEvent::KeyPress && Type != QEvent::ShortcutOverride) || !IsKeyTarget(Watched))
        return false;
    auto* Key = static_cast<QKeyEvent*>(Event);
    if (Type == QEvent::ShortcutOverride) {
        bool Disabled = false;
        Guarded([&] { Disabled = FActionList && FActionList->IsDisabledShortcut(*Key); });
        if (Disabled)
            Key->accept();
        return Disabled;
    }
    int Code = VirtualKeyOf(*Key);
    if (Code == 0)
        return false;
    Guarded([&] { emit KeyDown(this, Code, Key->modifiers()); });
    return Code == 0;
}
