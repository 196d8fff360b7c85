#pragma once

// The kinds of the one message box. Answers: 1 for "Yes", 0 for everything
// else (including a box suppressed while the window sits in the tray).
enum class MessageKind {
    Error = 0,
    Alert = 1,
    YesNo = 2,
    SelfClosingAlert = 4,
};
