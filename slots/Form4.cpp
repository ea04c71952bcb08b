#include "slots/Form4.h"

#include "runtime/Events.h"
#include "runtime/controls/Controls.h"
#include "runtime/controls/ImageBox.h"

#include <QIcon>

using namespace rt;

Form4::Form4()
{
    setWindowTitle(QStringLiteral("Image"));
    setWindowIcon(QIcon(QStringLiteral(":/art/pixmoor.ico")));
    // The window frame colour of the classic desktop scheme.
    setBackColor(QColor(212, 208, 200));

    Image1 = new ImageBox(client());
    place(Image1, 0, 0, 7455, 5910);
    nameControls({{Image1, "Image1", QStringLiteral("画像")}});

    setClientSize(7455, 5925);
    placeClientAt(825, 990);

    on(this, &Form::DblClick, this, &Form4::Form_DblClick);
    on(Image1, &ImageBox::DblClick, this, &Form4::Image1_DblClick);
}

void Form4::Form_DblClick()
{
    unload();
}

void Form4::Image1_DblClick()
{
    unload();
}
