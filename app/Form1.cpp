#include "app/Form1.h"

#include "runtime/forms/Events.h"
#include "runtime/decoding/Decode.h"
#include "runtime/forms/Twips.h"
#include "runtime/forms/controls/Controls.h"
#include "runtime/forms/controls/DirListBox.h"
#include "runtime/forms/controls/DriveListBox.h"
#include "runtime/forms/controls/FileListBox.h"
#include "runtime/forms/controls/ImageBox.h"
#include "runtime/forms/controls/PictureBox.h"
#include "runtime/pictures/PictureFormats.h"

#include <QIcon>
#include <QMenu>
#include <QMenuBar>

using namespace rt;

namespace {

PictureBox *badge(QWidget *parent, int left, int top, int digit)
{
    auto *control = new PictureBox(parent);
    place(control, left, top, 350, 350);
    control->setPicture(loadPicture(QStringLiteral(":/art/badge%1.bmp").arg(digit)));
    return control;
}

// A slot's path: label() makes it Qt::PlainText, so a name that looks like
// markup shows as typed.
QLabel *pathLabel(QWidget *parent, int left, int top)
{
    QLabel *control = label(parent, left, top, 975, 255, QString());
    control->setVisible(false);
    setBackColor(control, QColor(128, 128, 128));
    return control;
}

ImageBox *slotImage(QWidget *parent, int left, int top)
{
    auto *control = new ImageBox(parent);
    place(control, left, top, 1575, 1575);
    control->setStretch(true);
    control->setBorderStyle(1);
    return control;
}

QAction *item(QMenu *menu, const QString &caption) { return menu->addAction(caption); }

Form1::Wiring &wiringOfFeatures()
{
    static Form1::Wiring wiring;
    return wiring;
}

}  // namespace

void Form1::setWiring(Wiring wiring) { wiringOfFeatures() = std::move(wiring); }

Form1 &form1() { return Form::instance<Form1>(); }

Form1::Form1()
    : Form(nullptr,
           Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
               | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("Pixmoor"));
    setWindowIcon(programIcon());
    QWidget *c = client();

    // clang-format off
    //                               Left   Top  Width Height
    Text1    = textBox(c,            2520,    0,  2655,   270);
    Picture4 = badge(c,              3600, 2040,                4);
    Picture3 = badge(c,              1920, 2040,                3);
    Picture2 = badge(c,              3600,  360,                2);
    Picture1 = badge(c,              1920,  360,                1);
    File1    = new FileListBox(c);  place(File1,  120, 1920, 1695, 1710);
    Dir1     = new DirListBox(c);   place(Dir1,   120,  480, 1695, 1350);
    Drive1   = new DriveListBox(c); place(Drive1, 120,  120, 1695,  300);
    Label5   = label(c,              1920,    0,   615,   255, QStringLiteral("場所 ："));
    Label4   = pathLabel(c,          4080, 2160);
    Label3   = pathLabel(c,          2400, 2160);
    Label2   = pathLabel(c,          4080,  480);
    Label1   = pathLabel(c,          2400,  480);
    Image1   = slotImage(c,          1920,  360);
    Image2   = slotImage(c,          3600,  360);
    Image3   = slotImage(c,          1920, 2040);
    Image4   = slotImage(c,          3600, 2040);
    // clang-format on

    nameControls({{Text1, "Text1", QStringLiteral("場所")},
                  {Picture4, "Picture4", QStringLiteral("4")},
                  {Picture3, "Picture3", QStringLiteral("3")},
                  {Picture2, "Picture2", QStringLiteral("2")},
                  {Picture1, "Picture1", QStringLiteral("1")},
                  {File1, "File1", QStringLiteral("ファイル")},
                  {Dir1, "Dir1", QStringLiteral("フォルダー")},
                  {Drive1, "Drive1", QStringLiteral("ドライブ")},
                  {Label5, "Label5", {}},
                  {Label4, "Label4", {}},
                  {Label3, "Label3", {}},
                  {Label2, "Label2", {}},
                  {Label1, "Label1", {}},
                  {Image1, "Image1", QStringLiteral("スロット 1")},
                  {Image2, "Image2", QStringLiteral("スロット 2")},
                  {Image3, "Image3", QStringLiteral("スロット 3")},
                  {Image4, "Image4", QStringLiteral("スロット 4")}});
    Label5->setFont(captionFont(9, true));
    Text1->setAcceptDrops(false);  // only the slot images take a dragged file
    setForeColor(Label1, Qt::black);
    File1->setDragIcon(QPixmap::fromImage(builtInImage(QStringLiteral(":/art/drag.png"))));
    // A picture box is a child window and lies above the image it overlaps.
    for (QWidget *badgeBox : {Picture1, Picture2, Picture3, Picture4})
        badgeBox->raise();
    for (ImageBox *image : {Image1, Image2, Image3, Image4})
        image->setDropTarget(true);
    setTabOrder({Drive1, Dir1, File1, Picture1, Picture2, Picture3, Picture4, Text1});

    // clang-format off
    mnuFile  = menuBar()->addMenu(QStringLiteral("ﾌｧｲﾙ"));
    mnuExit  = item(mnuFile, QStringLiteral("終了"));
    help     = menuBar()->addMenu(QStringLiteral("ﾍﾙﾌﾟ"));
    var      = item(help, QStringLiteral("バージョン情報"));
    popup    = new QMenu(QStringLiteral("popup"), this);
    clear    = item(popup, QStringLiteral("クリア"));
    allclear = item(popup, QStringLiteral("オールクリア"));
    sen      = popup->addSeparator();
    del      = item(popup, QStringLiteral("削除"));
    copi     = item(popup, QStringLiteral("コピー"));
    sen1     = popup->addSeparator();
    max      = item(popup, QStringLiteral("大画面表示"));
    popup2   = new QMenu(QStringLiteral("popup2"), this);
    itiran   = item(popup2, QStringLiteral("一覧表示"));
    sen3     = popup2->addSeparator();
    all      = item(popup2, QStringLiteral("ALL"));
    // clang-format on
    for (const PictureFormat &format : pictureFormats())
        typeItem.append(item(popup2, QString::fromUtf8(format.item)));
    mnuExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    var->setShortcut(QKeySequence(Qt::Key_F1));
    for (QAction *checkable : QList<QAction *>{max, all} + typeItem)
        checkable->setCheckable(true);

    setBackColor(QColor(192, 192, 192));
    setClientSize(5295, 3720);
    setFixedSize(size());
    placeClientAt(2715, 2355);

    previewSlots = PreviewSlots({PreviewSlot{Image1, Picture1, Label1}, PreviewSlot{Image2, Picture2, Label2},
                                 PreviewSlot{Image3, Picture3, Label3}, PreviewSlot{Image4, Picture4, Label4}},
                                Text1);
    connectShellHandlers();
    if (wiringOfFeatures())
        wiringOfFeatures()(*this);
}
