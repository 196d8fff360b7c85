#pragma once

// The kinds of the one message box. Answers: 1 for "Yes", 0 for everything
// else (including a box suppressed while the window sits in the tray).
enum MessageKind : int {
    kErrorMessage = 0,
    kAlertMessage = 1,
    kYesNoQuestion = 2,
    kSelfClosingAlert = 4,
};
