#include "app/Form1.h"
#include "runtime/Platform.h"
#include "runtime/PictureLoader.h"
#include "runtime/controls/Controls.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pixmoor"));
    QApplication::setApplicationVersion(QStringLiteral(PIXMOOR_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("io.github.pixmoor.Pixmoor"));
    rt::platform::prepareProcess();
    rt::configureImageLimits();
    // Fonts resolved before this call would keep the fallback font.
    rt::installFontSubstitutes();

    form1().show();
    return app.exec();
}
