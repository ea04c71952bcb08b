#pragma once

#include <Qt>

namespace rt {

// The codes a control's MouseDown carries. button: 1 left, 2 right, 4 middle,
// 0 for any other; shift: 1 Shift, 2 Ctrl, 4 Alt, added together.
inline int buttonCode(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 4;
    default:
        return 0;
    }
}

inline int shiftCode(Qt::KeyboardModifiers modifiers)
{
    return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0)
        | (modifiers & Qt::AltModifier ? 4 : 0);
}

// The format that marks a drag from the file list. It carries no data: the
// control that takes the drop reads the file from the list itself. Only drags
// in this format are taken, so a drag from another program finds no target.
inline constexpr char kFileListDrag[] = "application/x-pixmoor-file";

}  // namespace rt
