#include "dialogs/Form8.h"

#include "app/Form1.h"
#include "dialogs/Confirmation.h"
#include "dialogs/FileTask.h"
#include "runtime/forms/Events.h"
#include "runtime/forms/FailureBox.h"
#include "runtime/forms/controls/Controls.h"
#include "runtime/forms/controls/FileListBox.h"

using namespace rt;

Form8::Form8() : Form(nullptr, toolWindowFlags())
{
    setWindowTitle(QStringLiteral("消去の確認"));
    QWidget *c = client();

    // clang-format off
    //                             Left  Top  Width Height
    Text1    = textBox(c,          3360, 720,  615,  270);
    Command1 = commandButton(c,     840, 480,  975,  375, QStringLiteral("OK"));
    Command2 = commandButton(c,    2160, 480,  975,  375, QStringLiteral("Cancel"));
    Label1   = label(c,             120, 120, 3855,  255, QStringLiteral("本当にこのファイルを削除していいですか？"));
    // clang-format on

    nameControls({{Text1, "Text1", QStringLiteral("スロット番号")},
                  {Command1, "Command1", {}},
                  {Command2, "Command2", {}},
                  {Label1, "Label1", {}}});
    Text1->setVisible(false);
    styleQuestion(Label1);
    setTabOrder({Command2, Command1, Label1, Text1});

    setClientSize(4050, 975);
    setFixedSize(size());

    on(Command1, &QPushButton::clicked, this, &Form8::Command1_Click);
    on(Command2, &QPushButton::clicked, this, &Form8::Command2_Click);
}

void Form8::Command1_Click()
{
    Form1 &main = form1();
    const QStringList numbers = {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")};
    const int k = int(numbers.indexOf(Text1->text())) + 1;
    // Failure trap: a failed deletion ends here and the dialog still closes,
    // but the user is told; the slot keeps its picture and path.
    if (k == 0) {
        const auto failure = trap([&] { main.File1->Refresh(); });
        unload();
        if (failure)
            tell(*failure);
        return;
    }
    // The slot is emptied as it was when "OK" was pressed: unless something
    // asked for later has changed it meanwhile.
    const quint64 order = main.previewSlots.ticket();
    const QString path = main.previewSlots.path(k);
    unload();
    filetask::remove(path, [k, order](std::optional<RuntimeError> failure) {
        Form1 &main = form1();
        if (!failure) {
            failure = trap([&] {
                main.previewSlots.clear(k, order);
                main.File1->Refresh();
            });
        }
        if (failure)
            tell(*failure);
    });
}

void Form8::Command2_Click() { unload(); }
