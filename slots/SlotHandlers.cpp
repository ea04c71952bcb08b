// The preview slots of the main window: clicks, the slot menu, drops and the
// large view. The four handlers of each event differ only in the slot number.
#include "app/Form1.h"
#include "dialogs/Form8.h"
#include "dialogs/Form9.h"
#include "runtime/forms/Events.h"
#include "runtime/services/Paths.h"
#include "runtime/forms/Properties.h"
#include "runtime/services/Text.h"
#include "runtime/forms/controls/ImageBox.h"
#include "runtime/forms/controls/PictureBox.h"
#include "slots/Form4.h"

#include <QCursor>
#include <QLineEdit>
#include <QMenu>

using rt::Form;

void Form1::connectSlotHandlers()
{
    struct Handlers
    {
        void (Form1::*click)();
        void (Form1::*badgeClick)();
        void (Form1::*mouseDown)(int, int, QPoint);
        void (Form1::*dblClick)();
        void (Form1::*dragDrop)(QObject *, QPoint);
    };
    const Handlers handlers[PreviewSlots::kCount] = {
        {&Form1::Image1_Click, &Form1::Picture1_Click, &Form1::Image1_MouseDown, &Form1::Image1_DblClick,
         &Form1::Image1_DragDrop},
        {&Form1::Image2_Click, &Form1::Picture2_Click, &Form1::Image2_MouseDown, &Form1::Image2_DblClick,
         &Form1::Image2_DragDrop},
        {&Form1::Image3_Click, &Form1::Picture3_Click, &Form1::Image3_MouseDown, &Form1::Image3_DblClick,
         &Form1::Image3_DragDrop},
        {&Form1::Image4_Click, &Form1::Picture4_Click, &Form1::Image4_MouseDown, &Form1::Image4_DblClick,
         &Form1::Image4_DragDrop},
    };
    for (int k = 1; k <= PreviewSlots::kCount; ++k) {
        const PreviewSlot &slot = previewSlots[k];
        const Handlers &h = handlers[k - 1];
        rt::on(slot.image, &rt::ImageBox::Click, this, h.click);
        rt::on(slot.badge, &rt::PictureBox::Click, this, h.badgeClick);
        rt::on(slot.image, &rt::ImageBox::MouseDown, this, h.mouseDown);
        rt::on(slot.image, &rt::ImageBox::DblClick, this, h.dblClick);
        rt::on(slot.image, &rt::ImageBox::DragDrop, this, h.dragDrop);
    }
    rt::onClick(clear, this, &Form1::clear_Click);
    rt::onClick(allclear, this, &Form1::allclear_Click);
    rt::onClick(del, this, &Form1::del_Click);
    rt::onClick(copi, this, &Form1::copi_Click);
    rt::onClick(max, this, &Form1::max_Click);
}

void Form1::Image1_Click() { previewSlots.select(1); }
void Form1::Image2_Click() { previewSlots.select(2); }
void Form1::Image3_Click() { previewSlots.select(3); }
void Form1::Image4_Click() { previewSlots.select(4); }
void Form1::Picture1_Click() { previewSlots.select(1); }
void Form1::Picture2_Click() { previewSlots.select(2); }
void Form1::Picture3_Click() { previewSlots.select(3); }
void Form1::Picture4_Click() { previewSlots.select(4); }

void Form1::Image1_MouseDown(int button, int, QPoint) { slotMouseDown(1, button); }
void Form1::Image2_MouseDown(int button, int, QPoint) { slotMouseDown(2, button); }
void Form1::Image3_MouseDown(int button, int, QPoint) { slotMouseDown(3, button); }
void Form1::Image4_MouseDown(int button, int, QPoint) { slotMouseDown(4, button); }

void Form1::slotMouseDown(int k, int button)
{
    previewSlots.slotNo = k;
    Form::instance<Form8>().Text1->setText(rt::toDecimal(k));
    Form::instance<Form9>().Text1->setText(previewSlots.path(k));
    if (button == 2)
        popup->exec(QCursor::pos());
}

void Form1::clear_Click()
{
    if (previewSlots.slotNo >= 1 && previewSlots.slotNo <= PreviewSlots::kCount)
        previewSlots.clear(previewSlots.slotNo);
}

void Form1::allclear_Click() { previewSlots.clearAll(); }

void Form1::del_Click() { Form::instance<Form8>().showModal(); }

void Form1::copi_Click()
{
    Form9 &copy = Form::instance<Form9>();
    // Opened without waiting from the thumbnail list, the dialog cannot turn
    // modal as well: it comes to the front and copies the path the press wrote.
    if (copy.isVisible())
        copy.showModeless();
    else
        copy.showModal();
}

void Form1::max_Click() { max->setChecked(!max->isChecked()); }

void Form1::Image1_DragDrop(QObject *source, QPoint) { slotDragDrop(1, source); }
void Form1::Image2_DragDrop(QObject *source, QPoint) { slotDragDrop(2, source); }
void Form1::Image3_DragDrop(QObject *source, QPoint) { slotDragDrop(3, source); }
void Form1::Image4_DragDrop(QObject *source, QPoint) { slotDragDrop(4, source); }

void Form1::slotDragDrop(int k, QObject *source)
{
    // Failure trap: a drop that fails (a source with no file, a file that is
    // gone or no picture) changes nothing and shows nothing.
    rt::trap([&] {
        const QString path = rt::fullPath(rt::readByName(source, QStringLiteral("Path")),
                                          rt::readByName(source, QStringLiteral("FileName")));
        previewSlots.fill(k, path, {});  // and a picture that fails to load says nothing either
    });
}

void Form1::Image1_DblClick() { slotDblClick(1); }
void Form1::Image2_DblClick() { slotDblClick(2); }
void Form1::Image3_DblClick() { slotDblClick(3); }
void Form1::Image4_DblClick() { slotDblClick(4); }

void Form1::slotDblClick(int k)
{
    const QString path = previewSlots.path(k);
    if (max->isChecked()) {
        // No free-slot test here: a free slot opens an empty, untitled view.
        Form4 &view = Form::instance<Form4>();
        view.showModeless();
        view.setWindowState(view.windowState() | Qt::WindowMaximized);
        view.showPicture(path, true);
    } else if (!previewSlots.isFree(k)) {
        // Shown at once, as before the picture was read: it fills when loaded.
        Form4 &view = Form::instance<Form4>();
        view.showModeless();
        view.showPicture(path, true);
    }
}
