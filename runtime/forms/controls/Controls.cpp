#include "runtime/forms/controls/Controls.h"

#include "runtime/forms/PlainText.h"
#include "runtime/forms/Twips.h"

#include <QFontDatabase>

namespace rt {

namespace {
const QString kCaptionFamily = QStringLiteral("ＭＳ Ｐゴシック");
}

void installFontSubstitutes()
{
    // Preference order of the Japanese gothic fonts Debian, macOS and Windows ship.
    const QStringList candidates = {QStringLiteral("MS PGothic"),  QStringLiteral("IPAPGothic"),
                                    QStringLiteral("IPAexGothic"), QStringLiteral("Noto Sans CJK JP"),
                                    QStringLiteral("VL PGothic"),  QStringLiteral("Hiragino Sans"),
                                    QStringLiteral("IPAGothic"),   QStringLiteral("TakaoPGothic")};
    const QStringList installed = QFontDatabase::families();
    QStringList available;
    for (const QString &family : candidates) {
        if (installed.contains(family, Qt::CaseInsensitive))
            available.append(family);
    }
    QFont::insertSubstitutions(kCaptionFamily, available);
}

QFont captionFont(double points, bool bold, bool italic)
{
    QFont font(kCaptionFamily);
    font.setPointSizeF(points);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    font.setItalic(italic);
    return font;
}

void nameControls(std::initializer_list<ControlName> names)
{
    for (const ControlName &name : names) {
        name.control->setObjectName(QString::fromLatin1(name.codeName));
        if (!name.spokenName.isEmpty())
            name.control->setAccessibleName(name.spokenName);
    }
}

void place(QWidget *control, int left, int top, int width, int height)
{
    control->setGeometry(twipsRect(left, top, width, height));
}

QLabel *label(QWidget *parent, int left, int top, int width, int height, const QString &caption)
{
    auto *control = setPlainText(new QLabel(parent), caption);
    place(control, left, top, width, height);
    control->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return control;
}

QLineEdit *textBox(QWidget *parent, int left, int top, int width, int height)
{
    auto *control = new QLineEdit(parent);
    place(control, left, top, width, height);
    return control;
}

QPushButton *commandButton(QWidget *parent, int left, int top, int width, int height, const QString &caption)
{
    auto *control = new QPushButton(caption, parent);
    place(control, left, top, width, height);
    // Outside a QDialog an auto-default button answers Enter only while it has
    // the focus, and Escape presses nothing.
    control->setAutoDefault(true);
    control->setDefault(false);
    return control;
}

void setForeColor(QWidget *control, const QColor &color)
{
    QPalette palette = control->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    control->setPalette(palette);
}

void setBackColor(QWidget *control, const QColor &color)
{
    QPalette palette = control->palette();
    palette.setColor(QPalette::Window, color);
    control->setPalette(palette);
    control->setAutoFillBackground(true);
}

}  // namespace rt
