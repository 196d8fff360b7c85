#pragma once

#include "app/MessageKinds.h"

#include <QDialog>

#include <deque>
#include <string>
#include <vector>

class QLabel;
class QPushButton;

// The one message box. Shows a kind's caption image, the text and the kind's
// buttons; returns 1 for "Yes" and 0 otherwise.
class Messages : public QDialog {
    Q_OBJECT
public:
    Messages(int kind, const QString& text, QWidget* parent = nullptr);

private:
    int kind_;
};

// Shows a message box of `kind` with `text` and returns its answer. While the
// messages-enabled flag is cleared (the window sits in the tray) nothing is
// shown and the answer is 0. The button texts are accepted for the callers'
// sake; the buttons keep their own texts.
int ShowMessage(int kind, const std::string& text, const std::string& firstButtonText = {},
                const std::string& secondButtonText = {});

// The flag ShowMessage consults; none registered means messages are shown.
void SetMessagesEnabledFlag(const bool* flag);

// For tests: with the hook on, no box is ever shown. Every request is
// recorded, and answered from the queue of prepared answers (0 when empty).
namespace MessageHook {
struct Request {
    int kind;
    std::string text;
    bool suppressed; // asked while messages were disabled
};
void Enable(bool on = true);
bool Enabled();
void SetNextAnswer(int answer);
const std::vector<Request>& Requests();
void Reset();
} // namespace MessageHook
