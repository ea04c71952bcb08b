#include "thumbs/Form2.h"

#include "app/Form1.h"
#include "dialogs/Confirmation.h"
#include "dialogs/FileTask.h"
#include "runtime/forms/Events.h"
#include "runtime/forms/FailureBox.h"
#include "runtime/services/Text.h"
#include "runtime/forms/controls/Controls.h"
#include "runtime/forms/controls/FileListBox.h"
#include "thumbs/Form10.h"

#include <QPointer>

using namespace rt;

Form2::Form2() : Form(nullptr, toolWindowFlags())
{
    setWindowTitle(QStringLiteral("消去の確認"));
    QWidget *c = client();

    // clang-format off
    //                             Left  Top  Width Height
    Label1   = label(c,             120, 120, 3855,  255, QStringLiteral("本当にこのファイルを削除していいですか？"));
    Command1 = commandButton(c,     840, 480,  975,  375, QStringLiteral("OK"));
    Command2 = commandButton(c,    2160, 480,  975,  375, QStringLiteral("Cancel"));
    Text1    = textBox(c,          3360, 720,  615,  270);
    Text2    = textBox(c,          3360, 360,  255,  270);
    // clang-format on

    nameControls({{Label1, "Label1", {}},
                  {Command1, "Command1", {}},
                  {Command2, "Command2", {}},
                  {Text1, "Text1", QStringLiteral("削除するファイル")},
                  {Text2, "Text2", QStringLiteral("セル番号")}});
    Text1->setVisible(false);
    Text2->setVisible(false);
    styleQuestion(Label1);
    setTabOrder({Text1, Command1, Command2, Label1, Text2});

    // No placement of its own: the system places the dialog.
    setClientSize(3840, 960);
    setFixedSize(size());

    on(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    on(Command2, &QPushButton::clicked, this, &Form2::Command2_Click);
}

// No failure trap: a failing step ends the handler and the user is told; the
// dialog stays open, and what the step found stays as it was. The deletion
// runs in a job, the dialog waiting with its buttons off; the rest lands on
// the list window and the dialog only if they are still the ones it began on.
void Form2::Command1_Click()
{
    const QString path = Text1->text(), cell = Text2->text();
    // A list window closed meanwhile is not built again just to empty a cell.
    const QPointer<Form10> list = Form::ifLoaded<Form10>();
    const QPointer<Form2> self(this);
    Command1->setEnabled(false);
    Command2->setEnabled(false);
    filetask::remove(path, [=](std::optional<RuntimeError> failure) {
        if (self) {
            self->Command1->setEnabled(true);
            self->Command2->setEnabled(true);
        }
        if (failure) {
            tell(*failure);
            return;
        }
        runHandler([&] {
            if (list)
                list->Image1(fromDecimal(cell)).setPicture(Picture());
            form1().File1->Refresh();
            if (list)
                list->Label1(fromDecimal(cell)).setCaption(QString());
            if (self && self->Text1->text() == path && self->Text2->text() == cell)
                self->unload();
        });
    });
}

void Form2::Command2_Click() { unload(); }
