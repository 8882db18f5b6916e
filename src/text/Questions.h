#pragma once
// Questions of the text view and the buffer: OK and Cancel, true for OK.
#include "app/UiServices.h"

#include <QString>

class QWidget;

inline bool askOkCancel(UiServices &ui, QWidget *parent, const QString &text)
{
    return ui.askYesNo(parent, text);
}
