#include "about/Form7.h"

#include "runtime/decoding/Decode.h"
#include "runtime/forms/controls/Controls.h"
#include "runtime/forms/controls/PictureBox.h"

using namespace rt;

Form7::Form7() : Form(nullptr, toolWindowFlags())
{
    setWindowTitle(QStringLiteral("バージョン情報"));
    QWidget *c = client();
    const QColor lightBlue(128, 128, 255);

    // clang-format off
    //                                   Left  Top  Width Height
    Picture1 = new PictureBox(c);  place(Picture1, 2160, 600, 1575, 615);
    Label3   = label(c,                  240,  960, 1815,  255, QStringLiteral("05/15/98 Tolvane"));
    Label2   = label(c,                 2760,  240, 1095,  255, QStringLiteral("V" PIXMOOR_VERSION));
    Label1   = label(c,                  120,  120, 2535,  495, QStringLiteral("Pixmoor"));
    // clang-format on

    nameControls({{Picture1, "Picture1", QStringLiteral("Pixmoor")},
                  {Label3, "Label3", {}},
                  {Label2, "Label2", {}},
                  {Label1, "Label1", {}}});
    Picture1->setPicture(loadPicture(QStringLiteral(":/art/about.png")));
    setForeColor(Label2, lightBlue);
    Label2->setFont(captionFont(11.25, true, true));
    setForeColor(Label1, lightBlue);
    Label1->setFont(captionFont(20.25, true, true));
    setTabOrder({Picture1});

    setClientSize(4080, 1380);
    setFixedSize(size());
    placeClientAt(3090, 2595);
}
