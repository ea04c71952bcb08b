#include "app/Startup.h"

#include "runtime/PictureLoader.h"
#include "runtime/Platform.h"
#include "runtime/controls/Controls.h"

#include <QApplication>

void prepareProgram()
{
    QApplication::setApplicationName(QStringLiteral("Pixmoor"));
    QApplication::setApplicationVersion(QStringLiteral(PIXMOOR_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("io.github.pixmoor.Pixmoor"));
    rt::platform::prepareProcess();
    rt::configureImageLimits();
    // Fonts resolved before this call would keep the fallback font.
    rt::installFontSubstitutes();
}
