#pragma once

#include <QColor>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

// Builders for the simple controls, placed in twips as the window designs give
// them, so that each window's definition reads like its design table.
namespace rt {

// The caption font "ＭＳ Ｐゴシック", substituted with the best installed
// Japanese gothic font (see installFontSubstitutes).
QFont captionFont(double points, bool bold, bool italic = false);
void installFontSubstitutes();

// A label's text, now and later, shows as typed (PlainText.h): the slots' hidden labels hold paths.
QLabel *label(QWidget *parent, int left, int top, int width, int height, const QString &caption);
QLineEdit *textBox(QWidget *parent, int left, int top, int width, int height);
// A push button: Enter presses it while it has the focus; it is nobody's default.
QPushButton *commandButton(QWidget *parent, int left, int top, int width, int height, const QString &caption);

// Gives each control its name in code (objectName) and, where it shows no
// text of its own to speak, a name for screen readers and UI test tools.
struct ControlName
{
    QWidget *control;
    const char *codeName;
    QString spokenName;  // empty: the text the control shows
};
void nameControls(std::initializer_list<ControlName> names);

void place(QWidget *control, int left, int top, int width, int height);
void setForeColor(QWidget *control, const QColor &color);
void setBackColor(QWidget *control, const QColor &color);

}  // namespace rt
