#include "dialogs/Form9.h"

#include "app/Form1.h"
#include "dialogs/Confirmation.h"
#include "dialogs/FileTask.h"
#include "runtime/forms/Events.h"
#include "runtime/forms/FailureBox.h"
#include "runtime/forms/controls/Controls.h"
#include "runtime/forms/controls/FileListBox.h"

using namespace rt;

Form9::Form9() : Form(nullptr, toolWindowFlags())
{
    setWindowTitle(QStringLiteral("コピーの確認"));
    QWidget *c = client();

    // clang-format off
    //                             Left  Top  Width Height
    Text1    = textBox(c,          2280, 360,  150,  270);
    Command2 = commandButton(c,    1320, 480,  975,  375, QStringLiteral("Cancel"));
    Command1 = commandButton(c,     240, 480,  975,  375, QStringLiteral("OK"));
    Label1   = label(c,             240, 120, 2055,  255, QStringLiteral("本当にコピーしますか？"));
    // clang-format on

    nameControls({{Text1, "Text1", QStringLiteral("コピーするファイル")},
                  {Command2, "Command2", {}},
                  {Command1, "Command1", {}},
                  {Label1, "Label1", {}}});
    Text1->setVisible(false);
    styleQuestion(Label1);
    setTabOrder({Command1, Command2, Label1, Text1});

    setClientSize(2430, 885);
    setFixedSize(size());
    placeClientAt(3390, 2235);

    on(Command1, &QPushButton::clicked, this, &Form9::Command1_Click);
    on(Command2, &QPushButton::clicked, this, &Form9::Command2_Click);
}

void Form9::Command1_Click()
{
    const QString source = Text1->text();
    unload();
    // Failure trap: a failed copy ends here, but the user is told, so that a
    // failure never looks like a copy. The dialog has closed by then.
    filetask::copy(source, source + QStringLiteral("コピー"), [](std::optional<RuntimeError> failure) {
        if (!failure)
            failure = trap([] { form1().File1->Refresh(); });
        if (failure)
            tell(*failure);
    });
}

void Form9::Command2_Click() { unload(); }
