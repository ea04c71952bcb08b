#pragma once

#include <QDir>
#include <QString>
#include <cstdio>
#include <optional>

namespace testart {

// The generators' command line, "TOOL FOLDER": the output folder, made if
// missing, or nothing after a message on stderr.
inline std::optional<QDir> outputFolder(int argc, char *argv[], const char *tool)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", tool);
        return std::nullopt;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "%s: cannot make %s\n", tool, argv[1]);
        return std::nullopt;
    }
    return out;
}

}  // namespace testart
