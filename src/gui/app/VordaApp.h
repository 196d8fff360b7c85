#pragma once

// The program's entry: refuses a second copy, fixes the data directory and
// runs the main window until it closes.
class VordaApp {
public:
    // Runs the program inside an existing QApplication; returns the exit status.
    static int InitInstance();
};
