#pragma once

#include <QDialog>

#include <optional>
#include <string>
#include <vector>

class QLineEdit;

// A small modal dialog asking for the password of a connection whose
// password was not saved: the connection's name in the text, a masked
// "Password:" field (its label is its buddy), OK and Cancel. What is typed
// is handed back and kept nowhere else.
class PasswordPrompt : public QDialog {
    Q_OBJECT
public:
    explicit PasswordPrompt(const QString& connectionName, QWidget* parent = nullptr);

    QLineEdit* Field() const { return field_; }
    // The text the dialog shows above the field.
    static QString PromptText(const QString& connectionName);

private:
    QLineEdit* field_ = nullptr;
};

// Asks for the password of `connectionName`: the typed password on OK (it
// may be empty), nullopt on Cancel. While the messages-enabled flag is
// cleared (the window sits in the tray) nothing is shown and the answer is
// nullopt. Typical use when a run or the backup editor connects:
//   ConnectionParams params = def.Params();
//   if (!def.savePassword) {
//       std::optional<std::string> typed = AskPassword(this, def.name);
//       if (!typed) return;            // cancelled: nothing happens
//       params.password = *typed;      // used for this connect only
//   }
std::optional<std::string> AskPassword(QWidget* parent, const std::string& connectionName);

// For tests: with the hook on, no dialog is ever shown. Every request is
// recorded and answered from the queue of prepared answers (nullopt, as
// Cancel, when it is empty).
namespace PasswordHook {
struct Request {
    std::string connectionName;
    bool suppressed; // asked while messages were disabled
};
void Enable(bool on = true);
bool Enabled();
void SetNextAnswer(std::optional<std::string> answer);
const std::vector<Request>& Requests();
void Reset();
} // namespace PasswordHook
