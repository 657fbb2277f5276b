#pragma once

#include <Qt>

class QKeyEvent;

// Key codes as the key handlers of the program know them.
enum TVirtualKey : int {
    VK_CLEAR = 12,
    VK_RETURN = 13,
    VK_PAUSE = 19,
    VK_ESCAPE = 27,
    VK_SPACE = 32,
    VK_PRIOR = 33,
    VK_NEXT = 34,
    VK_END = 35,
    VK_HOME = 36,
    VK_LEFT = 37,
    VK_UP = 38,
    VK_RIGHT = 39,
    VK_DOWN = 40,
    VK_INSERT = 45,
    VK_DELETE = 46,
    VK_NUMPAD0 = 96,
    VK_NUMPAD9 = 105,
    VK_F1 = 112,
    VK_F2 = 113,
};

// The virtual-key code of a Qt key; keypad digits get their own codes. 0 for keys without one.
int VirtualKeyOf(int QtKey, Qt::KeyboardModifiers Modifiers);
int VirtualKeyOf(const QKeyEvent& Event);
