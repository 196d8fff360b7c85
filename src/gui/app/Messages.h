#pragma once

#include "core/state/MessageKind.h"
#include "core/store/SettingsStore.h"

#include <QDialog>

#include <deque>
#include <string>
#include <vector>

class QLabel;
class QPushButton;

// The one message box: no caption bar, the kind's caption image at the top,
// the centred text, and the kind's buttons ("Continue" for errors and
// alerts, "Yes" and "No" for questions, none for the self-closing alert,
// which closes itself after two seconds). "Yes" answers 1; "No",
// "Continue", Escape and the self-closing timer answer 0.
class Messages : public QDialog {
    Q_OBJECT
public:
    static constexpr int kSelfClosingDelayMs = 2000;

    Messages(MessageKind kind, const QString& text, QWidget* parent = nullptr);

    MessageKind Kind() const { return kind_; }

    // The text as shown: each line break of the message texts ("\r\n",
    // "\n\r", a lone "\r" or "\n") becomes one line break.
    static QString DisplayText(const std::string& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    MessageKind kind_;
};

// Shows a message box of `kind` with `text` and returns its answer. While the
// messages-enabled flag is cleared (the window sits in the tray) nothing is
// shown and the answer is 0. The button texts are accepted for the callers'
// sake; the buttons keep their own texts.
int ShowMessage(MessageKind kind, const std::string& text, const std::string& firstButtonText = {},
                const std::string& secondButtonText = {});

// After a write to the settings store: true when `status` says it reached
// the file; otherwise shows the Error "<what> could not be <verb>: <reason>"
// ("Connection could not be saved: No space left on device") and returns
// false, and the caller records nothing as done.
bool StoredOrSaid(const std::string& what, const StoreStatus& status, const char* verb = "saved");

// The flag ShowMessage consults; none registered means messages are shown.
void SetMessagesEnabledFlag(const bool* flag);
// Whether boxes and prompts may be shown now (false while the window sits in
// the tray).
bool MessagesEnabled();
// The window message boxes are centred on (the main window); none: the
// active window.
void SetMessageParent(QWidget* parent);

// For tests: with the hook on, no box is ever shown. Every request is
// recorded, and answered from the queue of prepared answers (0 when empty).
namespace MessageHook {
struct Request {
    MessageKind kind;
    std::string text;
    bool suppressed; // asked while messages were disabled
};
void Enable(bool on = true);
bool Enabled();
void SetNextAnswer(int answer);
const std::vector<Request>& Requests();
void Reset();
} // namespace MessageHook
