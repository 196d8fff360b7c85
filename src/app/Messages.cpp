#include "app/Messages.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const bool* g_enabledFlag = nullptr;
bool g_hookOn = false;
std::deque<int> g_answers;
std::vector<MessageHook::Request> g_requests;

} // namespace

Messages::Messages(int kind, const QString& text, QWidget* parent)
    : QDialog(parent)
    , kind_(kind)
{
    setObjectName("IDD_151");
    setWindowTitle(QStringLiteral("Vorda"));
    auto* layout = new QVBoxLayout(this);
    auto* image = new QLabel(this);
    image->setObjectName("IDC_1072");
    const char* caption = kind == kErrorMessage ? "Error" : kind == kYesNoQuestion ? "Yes or No?" : "Alert";
    image->setText(QString::fromLatin1(caption));
    layout->addWidget(image);
    auto* label = new QLabel(text, this);
    label->setObjectName("IDC_1071");
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    layout->addWidget(label);
    auto* buttons = new QHBoxLayout;
    auto* yes = new QPushButton(QStringLiteral("Yes"), this);
    yes->setObjectName("IDC_1068");
    auto* no = new QPushButton(QStringLiteral("No"), this);
    no->setObjectName("IDC_1069");
    auto* cont = new QPushButton(QStringLiteral("Continue"), this);
    cont->setObjectName("IDC_1070");
    buttons->addWidget(yes);
    buttons->addWidget(no);
    buttons->addWidget(cont);
    layout->addLayout(buttons);
    connect(yes, &QPushButton::clicked, this, [this] { done(1); });
    connect(no, &QPushButton::clicked, this, [this] { done(0); });
    connect(cont, &QPushButton::clicked, this, [this] { done(0); });
    yes->setVisible(kind == kYesNoQuestion);
    no->setVisible(kind == kYesNoQuestion);
    cont->setVisible(kind == kErrorMessage || kind == kAlertMessage);
    if (kind == kSelfClosingAlert)
        QTimer::singleShot(2000, this, [this] { done(0); });
}

int ShowMessage(int kind, const std::string& text, const std::string&, const std::string&)
{
    const bool enabled = !g_enabledFlag || *g_enabledFlag;
    if (g_hookOn) {
        g_requests.push_back({kind, text, !enabled});
        if (!enabled)
            return 0;
        if (g_answers.empty())
            return 0;
        const int answer = g_answers.front();
        g_answers.pop_front();
        return answer;
    }
    if (!enabled)
        return 0;
    Messages box(kind, QString::fromStdString(text));
    return box.exec() == 1 ? 1 : 0;
}

void SetMessagesEnabledFlag(const bool* flag)
{
    g_enabledFlag = flag;
}

namespace MessageHook {

void Enable(bool on)
{
    g_hookOn = on;
}

bool Enabled()
{
    return g_hookOn;
}

void SetNextAnswer(int answer)
{
    g_answers.push_back(answer);
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

} // namespace MessageHook
