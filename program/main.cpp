#include "app/CommandLine.h"
#include "program/Startup.h"
#include "runtime/services/Program.h"

#include <QApplication>
#include <QTimer>
#include <QtPlugin>

// PNG read by QtGui's own reader, so that no image plugin is ever loaded here
// (runtime/pictures/PngPlugin.cpp): pictures are decoded in the decoder.
Q_IMPORT_PLUGIN(PngPlugin)

int main(int argc, char *argv[])
{
    // Decided before QApplication, which cannot start without a display.
    if (const std::optional<int> exitCode = answerInTerminal(readCommandLine(argumentsOf(argc, argv))))
        return *exitCode;

    QApplication app(argc, argv);
    prepareProgram();
    const QStringList paths = readCommandLine(QCoreApplication::arguments()).paths;
    // Inside the event loop, so that ending the program from a message box ends it.
    QTimer::singleShot(0, &app, [paths] { startProgram(paths); });
    return rt::leaveProgram(app.exec());
}
