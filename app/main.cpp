#include "app/Form1.h"
#include "app/Startup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    prepareProgram();
    form1().show();
    return app.exec();
}
