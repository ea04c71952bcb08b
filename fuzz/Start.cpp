// The start of every fuzz target: an application, which finds the image
// plugins, and the loader's memory caps, as the program sets them.
#include "Fuzz.h"
#include "runtime/pictures/PictureLoader.h"

#include <QCoreApplication>

namespace {
void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    rt::configureImageLimits();
    qInstallMessageHandler(quiet);  // decoders warn about every damaged file
    return 0;
}
