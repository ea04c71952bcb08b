#pragma once

#include <QStringList>

// What the program sets up once before its first window: its name, the
// process settings, the picture limits, the main window's handlers and the
// caption font. main(), the tests and the benchmark start the program the
// same way through it.
void prepareProgram();

// Shows the main window where the command line points: the panes in the
// folder of the first usable path, the files in the slots as double clicks
// would put them there. What cannot be used is told in message boxes once
// the rest has opened, so this runs inside the event loop.
void startProgram(const QStringList &paths);
