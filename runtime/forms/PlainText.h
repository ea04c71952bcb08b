#pragma once

#include <QString>

// Text from files (names, paths, failure reasons) is shown as typed. Qt takes
// text that looks like markup for rich text (Qt::AutoText): a file named
// "<img src=x.png>.jpg" would have Qt read and decode x.png in this process,
// outside the confined decoder, and "<b>x.jpg" would show as a bold "x.jpg".
namespace rt {

// Gives a QLabel or a QMessageBox `text` as plain text, and keeps it plain for
// the texts set later. The format goes first: text set as AutoText is parsed
// as it is set.
template <class Widget>
Widget *setPlainText(Widget *widget, const QString &text)
{
    widget->setTextFormat(Qt::PlainText);
    widget->setText(text);
    return widget;
}

// A window title keeps a "[*]" of the name: Qt takes one for the place of the
// modified mark and drops it, but shows a doubled one as one.
inline QString plainTitle(QString text) { return text.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]")); }

}  // namespace rt
