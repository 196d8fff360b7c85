#include "gui/app/Messages.h"

#include "gui/app/Art.h"
#include "resources/ResourceIds.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const bool* g_enabledFlag = nullptr;
QPointer<QWidget> g_parent;
bool g_hookOn = false;
std::deque<int> g_answers;
std::vector<MessageHook::Request> g_requests;

constexpr int kBoxWidth = 440;
constexpr int kBoxMinHeight = 230;
constexpr int kButtonWidth = 96;

// What the caption image says, for those who cannot see it.
QString CaptionName(MessageKind kind)
{
    switch (kind) {
    case MessageKind::Error: return QStringLiteral("Error");
    case MessageKind::YesNo: return QStringLiteral("Question");
    default: return QStringLiteral("Alert");
    }
}

int CaptionBitmap(MessageKind kind)
{
    switch (kind) {
    case MessageKind::Error: return rid::IDB_CAPTION_ERROR;
    case MessageKind::YesNo: return rid::IDB_CAPTION_YES_NO;
    default: return rid::IDB_CAPTION_ALERT;
    }
}

QPushButton* MakeButton(const QString& text, int id, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(ControlName(id));
    button->setMinimumHeight(28);
    button->setAutoDefault(false);
    return button;
}

} // namespace

Messages::Messages(MessageKind kind, const QString& text, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , kind_(kind)
{
    setObjectName(QStringLiteral("IDD_151"));
    setWindowTitle(QStringLiteral("Vorda"));
    setWindowIcon(ProgramIcon());
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 16);
    layout->setSpacing(10);

    auto* image = new QLabel(this);
    image->setObjectName(ControlName(rid::IDC_MESSAGE_IMAGE));
    image->setPixmap(Bitmap(CaptionBitmap(kind)));
    image->setFixedHeight(40);
    image->setAccessibleName(CaptionName(kind));
    layout->addWidget(image, 0, Qt::AlignLeft);
    layout->addSpacing(12);

    auto* label = new QLabel(text, this);
    label->setObjectName(ControlName(rid::IDC_MESSAGE_TEXT));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setMinimumHeight(100);
    layout->addWidget(label, 1);

    // Only the kind's own buttons are made.
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    buttons->addStretch();
    if (kind == MessageKind::YesNo) {
        auto* yes = MakeButton(QStringLiteral("Yes"), rid::IDC_MESSAGE_YES, this);
        auto* no = MakeButton(QStringLiteral("No"), rid::IDC_MESSAGE_NO, this);
        yes->setFixedWidth(kButtonWidth);
        no->setFixedWidth(kButtonWidth);
        buttons->addWidget(yes);
        buttons->addWidget(no);
        connect(yes, &QPushButton::clicked, this, [this] { done(1); });
        connect(no, &QPushButton::clicked, this, [this] { done(0); });
        // Enter answers the harmless way.
        no->setDefault(true);
    } else if (kind == MessageKind::Error || kind == MessageKind::Alert) {
        auto* cont = MakeButton(QStringLiteral("Continue"), rid::IDC_MESSAGE_CONTINUE, this);
        // "Continue" takes the place of "Yes" and "No" together.
        cont->setFixedWidth(2 * kButtonWidth + buttons->spacing());
        buttons->addWidget(cont);
        connect(cont, &QPushButton::clicked, this, [this] { done(0); });
        cont->setDefault(true);
    }
    buttons->addStretch();
    layout->addLayout(buttons);
    if (kind == MessageKind::SelfClosingAlert) {
        // Keep the box's shape: an empty row where the buttons would be.
        layout->addSpacing(28);
        QTimer::singleShot(kSelfClosingDelayMs, this, [this] { done(0); });
    }

    setFixedWidth(kBoxWidth);
    const int height = qMax(kBoxMinHeight, layout->heightForWidth(kBoxWidth));
    setFixedHeight(height);
}

void Messages::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.drawPixmap(0, 0, Bitmap(rid::IDB_MESSAGE_BACKGROUND));
    painter.setPen(QColor(0x8a, 0x9b, 0xae));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

QString Messages::DisplayText(const std::string& text)
{
    const QString in = QString::fromStdString(text);
    QString out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        const QChar c = in.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n')) {
            out += c;
            continue;
        }
        out += QLatin1Char('\n');
        // "\r\n" and "\n\r" are one break each; "\r\r" and "\n\n" are two.
        if (i + 1 < in.size()) {
            const QChar next = in.at(i + 1);
            if ((next == QLatin1Char('\r') || next == QLatin1Char('\n')) && next != c)
                ++i;
        }
    }
    return out;
}

int ShowMessage(MessageKind kind, const std::string& text, const std::string&, const std::string&)
{
    const bool enabled = MessagesEnabled();
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
    QWidget* parent = g_parent && g_parent->isVisible() ? g_parent.data() : QApplication::activeWindow();
    Messages box(kind, Messages::DisplayText(text), parent);
    return box.exec() == 1 ? 1 : 0;
}

void SetMessagesEnabledFlag(const bool* flag)
{
    g_enabledFlag = flag;
}

bool MessagesEnabled()
{
    return !g_enabledFlag || *g_enabledFlag;
}

void SetMessageParent(QWidget* parent)
{
    g_parent = parent;
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

bool StoredOrSaid(const std::string& what, const StoreStatus& status, const char* verb)
{
    if (status)
        return true;
    ShowMessage(MessageKind::Error, what + " could not be " + verb + ": " + status.error);
    return false;
}
