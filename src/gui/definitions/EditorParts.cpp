#include "gui/definitions/EditorParts.h"

#include "core/engine/MysqlClient.h"
#include "core/state/AppState.h"
#include "gui/app/Messages.h"
#include "gui/app/PageHost.h"
#include "gui/app/PageTable.h"
#include "gui/widgets/LabeledValue.h"
#include "resources/ResourceIds.h"


#include <QApplication>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>

namespace editor {

QLineEdit* AddField(QGridLayout* grid, int row, const QString& caption, int maxLength, int id, QWidget* parent,
                    int columnSpan)
{
    auto* label = new QLabel(caption, parent);
    auto* field = new QLineEdit(parent);
    field->setObjectName(ControlName(id));
    field->setMaxLength(maxLength);
    label->setBuddy(field);
    grid->addWidget(label, row, 0);
    grid->addWidget(field, row, 1, 1, columnSpan);
    return field;
}

QLineEdit* AddNameField(QGridLayout* grid, const QString& caption, int id, int hintId, size_t definitions,
                        QWidget* parent, QLabel** hint)
{
    *hint = nullptr;
    if (definitions >= 2)
        return AddField(grid, 0, caption, kNameLimit, id, parent, 2);
    QLineEdit* field = AddField(grid, 0, caption, kNameLimit, id, parent);
    *hint = new QLabel(QString::fromLatin1(kValidNameHint), parent);
    (*hint)->setObjectName(ControlName(hintId));
    (*hint)->setEnabled(definitions == 0);
    grid->addWidget(*hint, 0, 2);
    return field;
}

NameFields AddNameFields(QWidget* group, const QString& nameCaption, int nameId, int hintId, size_t definitions,
                         const QString& descriptionCaption, int descriptionId)
{
    NameFields fields;
    fields.grid = new QGridLayout(group);
    fields.grid->setContentsMargins(10, 4, 10, 6);
    fields.grid->setVerticalSpacing(4);
    fields.grid->setColumnStretch(1, 1);
    fields.name = AddNameField(fields.grid, nameCaption, nameId, hintId, definitions, group, &fields.hint);
    fields.description = AddField(fields.grid, 1, descriptionCaption, kDescriptionLimit, descriptionId, group, 2);
    return fields;
}

QPushButton* AddFootButtons(QBoxLayout* layout, std::initializer_list<QPushButton*> buttons, bool editing,
                            int cancelId, QWidget* parent)
{
    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    for (QPushButton* button : buttons)
        row->addWidget(button, 1);
    QPushButton* cancel = editing ? MakeButton(QStringLiteral("Cancel Edit"), cancelId, parent) : nullptr;
    if (cancel)
        row->addWidget(cancel, 1);
    layout->addLayout(row);
    return cancel;
}

ValueLabel* MakeStatusText(const QString& name, int id, QWidget* parent)
{
    auto* status = new ValueLabel(name, parent);
    status->setObjectName(ControlName(id));
    status->setWordWrap(true);
    status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    status->setMinimumHeight(status->fontMetrics().lineSpacing() * 3);
    return status;
}

bool RefusedByFirst(std::initializer_list<Check> checks)
{
    for (const Check& check : checks) {
        if (check.fails) {
            ShowMessage(MessageKind::Alert, check.text);
            return true;
        }
    }
    return false;
}

QPushButton* MakeButton(const QString& text, int id, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(ControlName(id));
    button->setAutoDefault(false);
    button->setMinimumHeight(28);
    return button;
}

std::string NameFromField(const QLineEdit* field)
{
    std::string name = field->text().toStdString();
    for (char& c : name) {
        if (c == ' ')
            c = '_';
    }
    return name;
}

bool NameInUse(const NameLists& lists, NameList list, const std::string& name)
{
    const QString wanted = QString::fromStdString(name);
    for (const std::string& existing : lists.Load(list)) {
        if (QString::compare(QString::fromStdString(existing), wanted, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

void AskAfterSave(QWidget* page, AppState& state, PageHost& host, bool created, const std::string& question,
                  int editorPage, int listPage)
{
    int answer = 0;
    const bool open = RunWhileOpen(page, [&] { answer = ShowMessage(MessageKind::YesNo, question, "Yes", "No"); });
    if (open) {
        if (answer == 1)
            host.ForcePage(created ? editorPage : listPage);
        else
            host.ShowPage(rid::PAGE_STATISTICS);
    }
    if (created) {
        // The menu enables what the new definition makes possible; the work
        // area keeps the page just requested.
        state.statisticsOnMenuCreate = false;
        host.ReloadMenu();
    }
}

WaitCursor::WaitCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

WaitCursor::~WaitCursor()
{
    QApplication::restoreOverrideCursor();
}

bool Connect(MysqlConnection& connection, const ConnectionParams& params)
{
    if (!connection.Initialised()) {
        // The library fails to create a handle only when it runs out of
        // memory; its error number and text for that go to standard error.
        ReportNoClientHandle();
        std::exit(1);
    }
    // The window repaints and its timers run while the server is reached
    // (up to the 10-second connect timeout); clicks wait until it answers.
    connection.SetWaitHook([] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
    return connection.Connect(params);
}

std::string ServerReason(const MysqlConnection& connection, const std::string& password)
{
    std::string reason = connection.ErrorText();
    if (!password.empty()) {
        for (size_t at = reason.find(password); at != std::string::npos; at = reason.find(password, at + 5))
            reason.replace(at, password.size(), "*****");
    }
    return reason;
}

std::string WithReason(const std::string& message, const std::string& reason)
{
    return reason.empty() ? message : message + "\r\n\r\n" + reason;
}

} // namespace editor
