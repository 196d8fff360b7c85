#pragma once

#include "core/history/TimeTexts.h"

// The program's entry: fixes the data directory, refuses a second copy on it
// (which asks the running copy to show its window instead), and runs the
// main window until it closes.
class VordaApp {
public:
    // Runs the program inside an existing QApplication; returns the exit
    // status. `clock` is the time the program goes by (tests step it).
    static int InitInstance(Clock clock = SystemClock());
};
