#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// What the command line asks of the program. It is read twice: once from
// main()'s argv before QApplication exists, so that help, version and misuse
// are answered in the terminal even where there is no display, and once from
// QCoreApplication::arguments() for the paths (Qt's own options removed; on
// Windows the arguments as the user typed them, not in the ANSI code page).
struct CommandLine
{
    enum Action { Start, ShowHelp, ShowVersion, Misuse };
    Action action = Start;
    QString program;    // the name the program was started by, for the usage line
    QStringList paths;  // the folder or picture arguments, as given
    QString error;      // what was wrong, for Misuse
};

// `arguments` starts with the program itself, as argv does.
CommandLine readCommandLine(const QStringList &arguments);
QStringList argumentsOf(int argc, char *argv[]);

QString usageLine(const QString &program);
QString helpText(const QString &program);
QString versionText();

// Answers what ends before any window: help or version on standard output
// (exit code 0), misuse with the usage on standard error (exit code 2).
// Nothing for Start.
std::optional<int> answerInTerminal(const CommandLine &line);
