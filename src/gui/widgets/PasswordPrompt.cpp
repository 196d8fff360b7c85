#include "gui/widgets/PasswordPrompt.h"

#include "gui/app/Art.h"
#include "gui/app/Messages.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <deque>

namespace {

bool g_hookOn = false;
std::deque<std::optional<std::string>> g_answers;
std::vector<PasswordHook::Request> g_requests;

} // namespace

PasswordPrompt::PasswordPrompt(const QString& connectionName, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("PasswordPrompt"));
    setWindowTitle(QStringLiteral("Vorda - Password"));
    setWindowIcon(ProgramIcon());
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(PromptText(connectionName), this);
    text->setObjectName(QStringLiteral("PasswordPromptText"));
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(true);
    layout->addWidget(text);

    auto* form = new QFormLayout;
    field_ = new QLineEdit(this);
    field_->setObjectName(QStringLiteral("PasswordField"));
    field_->setEchoMode(QLineEdit::Password);
    field_->setMaxLength(255);
    auto* caption = new QLabel(QStringLiteral("&Password:"), this);
    caption->setBuddy(field_);
    form->addRow(caption, field_);
    layout->addLayout(form);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    setMinimumWidth(380);
    field_->setFocus();
}

QString PasswordPrompt::PromptText(const QString& connectionName)
{
    return QStringLiteral("The password of the connection \"%1\" was not saved.\n\n"
                          "Enter it to connect. It is used for this connection only and is not stored.")
        .arg(connectionName);
}

std::optional<std::string> AskPassword(QWidget* parent, const std::string& connectionName)
{
    const bool enabled = MessagesEnabled();
    if (g_hookOn) {
        g_requests.push_back({connectionName, !enabled});
        if (!enabled || g_answers.empty())
            return std::nullopt;
        std::optional<std::string> answer = std::move(g_answers.front());
        g_answers.pop_front();
        return answer;
    }
    if (!enabled)
        return std::nullopt;
    PasswordPrompt prompt(QString::fromStdString(connectionName), parent ? parent : QApplication::activeWindow());
    if (prompt.exec() != QDialog::Accepted)
        return std::nullopt;
    std::optional<std::string> typed = prompt.Field()->text().toStdString();
    prompt.Field()->clear();
    return typed;
}

namespace PasswordHook {

void Enable(bool on)
{
    g_hookOn = on;
}

bool Enabled()
{
    return g_hookOn;
}

void SetNextAnswer(std::optional<std::string> answer)
{
    g_answers.push_back(std::move(answer));
}

const std::vector<Request>& Requests()
{
    return g_requests;
}

void Reset()
{
    g_answers.clear();
    g_requests.clear();
}

} // namespace PasswordHook
