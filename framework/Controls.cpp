#include "framework/Controls.h"

#include "framework/Application.h"

#include <QAction>
#include <QActionEvent>
#include <QMouseEvent>

TGlyphButton::TGlyphButton(QWidget* Parent) : QToolButton(Parent) {}

void TGlyphButton::SetHint(const QString& Hint)
{
    FHint = Hint;
    ApplyHint();
}

void TGlyphButton::ApplyHint()
{
    // The button's own hint, else its action's; none gives no tooltip, not the one Qt makes up
    // from the action's text.
    QString Shown = FHint;
    if (Shown.isEmpty() && defaultAction())
        Shown = defaultAction()->property("Hint").toString();
    setToolTip(Shown);
}

void TGlyphButton::LinkAction()
{
    if (FActionName.isEmpty())
        return;
    if (auto* Linked = window()->findChild<QAction*>(FActionName)) {
        setDefaultAction(Linked);
        ApplyHint();
    }
}

void TGlyphButton::actionEvent(QActionEvent* Event)
{
    // Qt copies the action's tooltip over the button's on every change of the action.
    QToolButton::actionEvent(Event);
    ApplyHint();
}

TLabel::TLabel(QWidget* Parent) : QLabel(Parent) {}

void TLabel::mouseReleaseEvent(QMouseEvent* Event)
{
    QLabel::mouseReleaseEvent(Event);
    if (Event->button() == Qt::LeftButton && rect().contains(Event->position().toPoint()))
        Guarded([this] { emit Click(this); });
}
