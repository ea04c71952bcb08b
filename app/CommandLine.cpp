#include "app/CommandLine.h"

#include "runtime/pictures/PictureFormats.h"
#include "runtime/services/Platform.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include <cstdio>

namespace {

// The options QGuiApplication and QApplication take for themselves. They are
// known here, hidden from the help, so that `pixmoor -platform xcb a.jpg` is
// not refused before Qt has had a chance to take them out.
void addQtOptions(QCommandLineParser &parser)
{
    const char *withValue[] = {"platform", "platformpluginpath", "platformtheme", "plugin",       "display", "geometry",
                               "title",    "qwindowgeometry",    "qwindowtitle",  "qwindowicon",  "icon",    "name",
                               "style",    "stylesheet",         "session",       "qmljsdebugger"};
    const char *flags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync", "testability"};
    for (const char *name : withValue) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char *name : flags) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

void print(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

}  // namespace

CommandLine readCommandLine(const QStringList &arguments)
{
    CommandLine line;
    const QString invoked = QFileInfo(arguments.value(0)).fileName();
    line.program = invoked.isEmpty() ? QStringLiteral("pixmoor") : invoked;

    QCommandLineParser parser;
    // Qt's options are single-dash words (-platform), so short options do not combine.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QString());
    parser.addOption(help);
    parser.addOption(version);
    addQtOptions(parser);

    if (!parser.parse(arguments)) {
        line.action = CommandLine::Misuse;
        line.error = parser.errorText();
    } else if (parser.isSet(help)) {
        line.action = CommandLine::ShowHelp;
    } else if (parser.isSet(version)) {
        line.action = CommandLine::ShowVersion;
    }
    line.paths = parser.positionalArguments();
    return line;
}

QStringList argumentsOf(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

QString usageLine(const QString &program)
{
    return QStringLiteral("Usage: %1 [options] [folder | picture...]\n").arg(program);
}

// The picture formats in words: "BMP, JPEG, GIF or ICO".
QString formatNames()
{
    QStringList names;
    for (const rt::PictureFormat &format : rt::pictureFormats())
        names.append(QString::fromUtf8(format.name));
    const QString last = names.takeLast();
    return names.isEmpty() ? last : names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

// `text` in lines of at most `width` columns, broken between words, each
// ended with a new line: the sentence that lists the formats grows with them.
QString wrapped(const QString &text, int width)
{
    QString lines, line;
    for (const QString &word : text.split(QLatin1Char(' '))) {
        if (!line.isEmpty() && line.size() + 1 + word.size() > width) {
            lines += line + QLatin1Char('\n');
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    return lines + line + QLatin1Char('\n');
}

QString helpText(const QString &program)
{
    return usageLine(program)
        + QStringLiteral("\n"
                         "Pixmoor, a small picture viewer: the folder's pictures on the left,\n"
                         "up to four of them side by side in the preview slots on the right.\n"
                         "\n"
                         "Arguments:\n"
                         "  (none)              the panes show the current folder\n"
                         "  FOLDER              the panes show this folder\n"
                         "  PICTURE...          the panes show the first picture's folder, and the\n"
                         "                      pictures open in slots 1 to 4 in the order given\n"
                         "\n"
                         "Relative paths are taken from the current folder. With several arguments\n"
                         "the panes show the folder of the first one that exists (the folder itself,\n"
                         "or the folder holding the file); pictures from other folders still open\n"
                         "in the slots. A slot holds one picture, so at most four open. A path that\n")
        + wrapped(QStringLiteral("does not exist, a second folder, a file that is not a %1 picture and the pictures "
                                 "beyond the fourth are told in a message box; the rest still open.")
                      .arg(formatNames()),
                  75)
        + QStringLiteral("\n"
                         "Options:\n"
                         "  -h, --help          print this help and exit\n"
                         "  -v, --version       print the version and exit\n"
                         "  --                  take every later argument as a path, even one\n"
                         "                      that starts with '-'\n"
                         "Qt's own options (-platform, -display, -style ...) are accepted too.\n");
}

QString versionText() { return QStringLiteral("Pixmoor %1\n").arg(QStringLiteral(PIXMOOR_VERSION)); }

std::optional<int> answerInTerminal(const CommandLine &line)
{
    if (line.action != CommandLine::Start)
        rt::platform::reachParentConsole();
    switch (line.action) {
    case CommandLine::ShowHelp:
        print(stdout, helpText(line.program));
        return 0;
    case CommandLine::ShowVersion:
        print(stdout, versionText());
        return 0;
    case CommandLine::Misuse:
        print(stderr,
              QStringLiteral("%1: %2\n%3Try '%1 --help' for more.\n")
                  .arg(line.program, line.error, usageLine(line.program)));
        return 2;
    case CommandLine::Start:
        break;
    }
    return std::nullopt;
}
