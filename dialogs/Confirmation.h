#pragma once

#include "runtime/forms/controls/Controls.h"

// The question of the confirmation dialogs: red, bold "ＭＳ Ｐゴシック" 9 pt.
inline void styleQuestion(QLabel *question)
{
    rt::setForeColor(question, QColor(255, 0, 0));
    question->setFont(rt::captionFont(9, true));
}
