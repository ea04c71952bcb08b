#pragma once

// What the program sets up once before its first window: its name, the
// process settings, the picture limits and the caption font. main() and the
// benchmark start the program the same way through it.
void prepareProgram();
