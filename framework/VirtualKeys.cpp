#include "framework/VirtualKeys.h"

#include <QKeyEvent>

int VirtualKeyOf(int QtKey, Qt::KeyboardModifiers Modifiers)
{
    if (QtKey >= Qt::Key_0 && QtKey <= Qt::Key_9) {
        const int Digit = QtKey - Qt::Key_0;
        return (Modifiers & Qt::KeypadModifier) ? VK_NUMPAD0 + Digit : '0' + Digit;
    }
    if (QtKey >= Qt::Key_A && QtKey <= Qt::Key_Z)
        return 'A' + (QtKey - Qt::Key_A);
    if (QtKey >= Qt::Key_F1 && QtKey <= Qt::Key_F24)
        return VK_F1 + (QtKey - Qt::Key_F1);
    switch (QtKey) {
    case Qt::Key_Clear: return VK_CLEAR;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Pause: return VK_PAUSE;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    default: return 0;
    }
}

int VirtualKeyOf(const QKeyEvent& Event)
{
    return VirtualKeyOf(Event.key(), Event.modifiers());
}
