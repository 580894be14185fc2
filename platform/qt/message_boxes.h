#pragma once
// The program's two kinds of message box, both modal dialogs titled as the caller says: the error
// box (the critical icon) and the plain box with one OK button and no icon, placed with its
// top-left corner where the caller asks.

#include <QString>
#include <QWidget>

namespace zumbolo {

void ShowErrorBox(QWidget* parent, const QString& title, const QString& text);

// A coordinate below 0 leaves that axis at the default place, centred on the screen.
void ShowPlacedMessage(QWidget* parent, const QString& title, const QString& text, int left, int top);

}  // namespace zumbolo
