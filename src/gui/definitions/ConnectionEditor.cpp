#include "gui/definitions/ConnectionEditor.h"

#include "core/engine/MysqlClient.h"
#include "gui/app/Help.h"
#include "gui/app/Messages.h"
#include "gui/app/PageHost.h"
#include "gui/app/PageTable.h"
#include "gui/definitions/EditorParts.h"
#include "gui/widgets/LabeledValue.h"
#include "resources/ResourceIds.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr const char* kTestNote =
    "*Note: The Connection Test may take up to 30 seconds, especially if incorrect information was inadvertently "
    "entered and the test times out. Please be patient during this process. You will be notified of Success or "
    "Failure upon completion.";

} // namespace

ConnectionEditor::ConnectionEditor(AppState& state, PageHost& host, QWidget* parent)
    : QWidget(parent)
    , state_(state)
    , host_(host)
    , mode_(state.connectionEditorMode)
{
    const bool editing = mode_ == EditorMode::Edit;
    BuildPage(editing ? QStringLiteral(" Edit an Existing Connection ")
                      : QStringLiteral(" Create a New Connection "));
    savePassword_->setChecked(true);
    switch (mode_) {
    case EditorMode::New: port_->setText(QStringLiteral("3306")); break;
    case EditorMode::Edit:
        // The page keeps its own copy of the name: selectedName may change
        // while a question is open.
        LoadConnection(state_.selectedName);
        break;
    case EditorMode::None: ShowMessage(MessageKind::Error, "Invalid New Backup Entry."); break;
    }
    kept_ = FieldValues();
}

bool ConnectionEditor::HasUnsavedChanges() const
{
    return !discarded_ && FieldValues() != kept_;
}

void ConnectionEditor::BuildPage(const QString& caption)
{
    const bool editing = mode_ == EditorMode::Edit;
    QGroupBox* frame = PageFrame(this, rid::IDD_CONNECTION_EDITOR, caption, 6);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(14, 14, 14, 10);
    layout->setSpacing(10);

    auto* identity = new QGroupBox(QStringLiteral(" Database Connection"), frame);
    fields_ = editor::AddNameFields(
        identity, QStringLiteral("Connection &Name:"), rid::IDC_CONN_NAME, rid::IDC_CONN_NAME_HINT,
        state_.nameLists.Load(NameList::Connections).size(), QStringLiteral("Connection &Description:"),
        rid::IDC_CONN_DESCRIPTION);
    QGridLayout* identityGrid = fields_.grid;
    layout->addWidget(identity);

    auto* server = new QGroupBox(QStringLiteral(" Primary Connection Information "), frame);
    auto* serverGrid = new QGridLayout(server);
    hostName_ = editor::AddField(serverGrid, 0, QStringLiteral("&Host Name/IP Address:"), kFieldLimit,
                                 rid::IDC_CONN_HOST, server, 2);
    database_ = editor::AddField(serverGrid, 1, QStringLiteral("Data&base Name:"), kLongFieldLimit,
                                 rid::IDC_CONN_DATABASE, server, 2);
    port_ = editor::AddField(serverGrid, 2, QStringLiteral("&Port Number:"), kPortLimit, rid::IDC_CONN_PORT, server);
    port_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), port_));
    defaultPort_ = editor::MakeButton(QStringLiteral("Set Default MySQL Port Number"), rid::IDC_CONN_DEFAULT_PORT,
                                      server);
    serverGrid->addWidget(defaultPort_, 2, 2);
    user_ = editor::AddField(serverGrid, 3, QStringLiteral("&User Name:"), kFieldLimit, rid::IDC_CONN_USER, server, 2);
    password_ = editor::AddField(serverGrid, 4, QStringLiteral("Pass&word:"), kFieldLimit, rid::IDC_CONN_PASSWORD,
                                 server);
    // Masked, also when a saved password is shown for editing; the button
    // beside it shows it while it is pressed in.
    password_->setEchoMode(QLineEdit::Password);
    showPassword_ = new QToolButton(server);
    showPassword_->setObjectName(ControlName(rid::IDC_CONN_SHOW_PASSWORD));
    showPassword_->setText(QStringLiteral("Show"));
    showPassword_->setCheckable(true);
    showPassword_->setAccessibleName(QStringLiteral("Show Password"));
    showPassword_->setToolTip(QStringLiteral("Show or hide the password"));
    connect(showPassword_, &QToolButton::toggled, this, [this](bool shown) {
        password_->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password);
        showPassword_->setText(shown ? QStringLiteral("Hide") : QStringLiteral("Show"));
    });
    {
        // The field and its button share the field's cell.
        serverGrid->removeWidget(password_);
        auto* cell = new QHBoxLayout;
        cell->setSpacing(4);
        cell->addWidget(password_, 1);
        cell->addWidget(showPassword_);
        serverGrid->addLayout(cell, 4, 1);
    }
    savePassword_ = new QCheckBox(QStringLiteral("&Save Password"), server);
    savePassword_->setObjectName(ControlName(rid::IDC_CONN_SAVE_PASSWORD));
    serverGrid->addWidget(savePassword_, 4, 2);
    layout->addWidget(server);

    // Both groups' fields start at the same distance from the left.
    int captionWidth = 0;
    for (QGridLayout* grid : {identityGrid, serverGrid}) {
        grid->setContentsMargins(12, 8, 12, 10);
        grid->setHorizontalSpacing(10);
        grid->setColumnStretch(1, 1);
        for (int row = 0; row < grid->rowCount(); ++row)
            if (QLayoutItem* item = grid->itemAtPosition(row, 0))
                captionWidth = std::max(captionWidth, item->widget()->sizeHint().width());
    }
    for (QGridLayout* grid : {identityGrid, serverGrid})
        grid->setColumnMinimumWidth(0, captionWidth);
    // The columns beside the fields are as wide in both groups, so the name
    // and port fields line up.
    const int besideWidth = std::max({defaultPort_->sizeHint().width(), savePassword_->sizeHint().width(),
                                      fields_.hint ? fields_.hint->sizeHint().width() : 0});
    identityGrid->setColumnMinimumWidth(2, besideWidth);
    serverGrid->setColumnMinimumWidth(2, besideWidth);

    // The buttons of the mode: two wide ones to create, three to edit.
    test_ = editor::MakeButton(QStringLiteral("Test Connection"), rid::IDC_CONN_TEST, frame);
    save_ = editor::MakeButton(QStringLiteral("Save"), rid::IDC_CONN_SAVE, frame);
    cancelEdit_ = editor::AddFootButtons(layout, {test_, save_}, editing, rid::IDC_CONN_CANCEL_EDIT, frame);
    if (cancelEdit_)
        connect(cancelEdit_, &QPushButton::clicked, this, &ConnectionEditor::OnCancelEdit);
    status_ = editor::MakeStatusText(QStringLiteral("Connection Test Status"), rid::IDC_CONN_STATUS, frame);
    layout->addWidget(status_);
    layout->addStretch(1);

    tutorials_ = editor::MakeButton(
        QStringLiteral("If you require assistance with this step please click here to view our tutorials"),
        rid::IDC_CONN_TUTORIALS, frame);
    tutorials_->setFlat(true);
    tutorials_->setCursor(Qt::PointingHandCursor);
    tutorials_->setStyleSheet(QStringLiteral("QPushButton { color: rgb(31, 95, 154); text-decoration: underline; "
                                             "border: none; padding: 4px; }"));
    layout->addWidget(tutorials_, 0, Qt::AlignHCenter);

    // Enter in a field saves, as a click on "Save" does.
    for (QLineEdit* field : frame->findChildren<QLineEdit*>())
        connect(field, &QLineEdit::returnPressed, save_, &QPushButton::click);
    connect(defaultPort_, &QPushButton::clicked, this, &ConnectionEditor::OnDefaultPort);
    connect(test_, &QPushButton::clicked, this, &ConnectionEditor::OnTestConnection);
    connect(save_, &QPushButton::clicked, this, &ConnectionEditor::OnSave);
    connect(tutorials_, &QPushButton::clicked, this, &ConnectionEditor::OnTutorials);
}

void ConnectionEditor::LoadConnection(const std::string& name)
{
    const ConnectionDef def = ConnectionDef::Load(state_.store, name);
    fields_.name->setText(QString::fromStdString(def.name));
    fields_.description->setText(QString::fromStdString(def.description));
    hostName_->setText(QString::fromStdString(def.host));
    port_->setText(QString::fromStdString(def.port));
    database_->setText(QString::fromStdString(def.database));
    user_->setText(QString::fromStdString(def.user));
    password_->setText(QString::fromStdString(def.password));
    fields_.name->setReadOnly(true);
    savePassword_->setChecked(def.savePassword);
}

ConnectionDef ConnectionEditor::FieldValues() const
{
    ConnectionDef def;
    def.name = fields_.name->text().toStdString();
    def.description = fields_.description->text().toStdString();
    // A blank typed or pasted around a host, database or user name would
    // make the server refuse it, with a reason that does not show it.
    def.host = hostName_->text().trimmed().toStdString();
    def.port = port_->text().toStdString();
    def.database = database_->text().trimmed().toStdString();
    def.user = user_->text().trimmed().toStdString();
    def.password = password_->text().toStdString();
    def.savePassword = savePassword_->isChecked();
    return def;
}

bool ConnectionEditor::NameTaken(const std::string& name) const
{
    return IsReservedConnectionName(name) || editor::NameInUse(state_.nameLists, NameList::Connections, name);
}

void ConnectionEditor::OnSave()
{
    const bool creating = mode_ != EditorMode::Edit;
    ConnectionDef def = FieldValues();
    def.name = editor::NameFromField(fields_.name);
    if (editor::RefusedByFirst({
            {def.name.empty(), "No Name Entered."},
            {!IsValidName(def.name), editor::kInvalidCharacters},
            {def.description.empty(), "No Description Entered."},
            {def.host.empty(), "No Host Name/IP Address Entered."},
            {def.database.empty(), "No Database Name Entered."},
            {def.user.empty(), "No User Name Entered."},
            {def.password.empty(), "No Password Entered."},
            {creating && NameTaken(def.name), "Connection Name Already in Use.\r\n\r\nPlease Select Another Name."},
        }))
        return;
    // As on Test: a port the client library would wrap to another one.
    if (const std::string refusal = def.PortRefusal(); !refusal.empty()) {
        ShowMessage(MessageKind::Alert, refusal);
        return;
    }

    StoreStatus stored = def.Save(state_.store);
    if (stored && creating)
        stored = state_.nameLists.Add(NameList::Connections, def.name);
    if (!StoredOrSaid("Connection", stored))
        return;
    kept_ = FieldValues();
    if (creating) {
        state_.log.AppendEntry(false, "New Connection Saved: " + def.name);
        editor::AskAfterSave(this, state_, host_, true, "Connection Saved\r\n\r\n    Do you wish to create another?",
                             rid::PAGE_CREATE_CONNECTION, rid::PAGE_EDIT_CONNECTIONS);
    } else {
        state_.log.AppendEntry(false, "Edited Connection Saved: " + def.name);
        editor::AskAfterSave(this, state_, host_, false, "Connection Saved\r\n\r\n    Do you wish to edit another?",
                             rid::PAGE_CREATE_CONNECTION, rid::PAGE_EDIT_CONNECTIONS);
    }
}

void ConnectionEditor::OnTestConnection()
{
    // The fields as they are: no name rule, nothing stored.
    const ConnectionDef def = FieldValues();
    if (editor::RefusedByFirst({
            {def.name.empty(), "No Name Specified."},
            {def.description.empty(), "No Description Specified."},
            {def.host.empty(), "No Host Name / IP Address Specified."},
            {def.database.empty(), "No Database Name Specified."},
            {def.user.empty(), "No User Name Specified."},
            {def.password.empty(), "No Password Specified."},
            {mode_ != EditorMode::Edit && NameTaken(def.name), "Please Select Another Name."},
        }))
        return;
    // A port the library would wrap to another one is refused before anything connects.
    if (const std::string refusal = def.PortRefusal(); !refusal.empty()) {
        ShowMessage(MessageKind::Alert, refusal);
        return;
    }

    status_->setText(QString::fromLatin1(kTestNote));
    status_->repaint();
    bool connected = false;
    std::string reason;
    {
        editor::WaitCursor wait;
        MysqlConnection connection;
        connected = editor::Connect(connection, def.Params());
        if (!connected)
            reason = editor::ServerReason(connection, def.password);
    }
    if (connected) {
        state_.log.AppendEntry(true, "Connection Test Successful: " + def.name);
        RunWhileOpen(this, [] { ShowMessage(MessageKind::Alert, "Connection Successful."); });
    } else {
        state_.log.AppendEntry(true, "Connection Test Failed: " + def.name);
        RunWhileOpen(this, [&reason] {
            ShowMessage(MessageKind::Error, editor::WithReason("The system failed to connect.", reason));
        });
    }
    status_->setText(QString());
}

void ConnectionEditor::OnDefaultPort()
{
    port_->setText(QStringLiteral("3306"));
}

void ConnectionEditor::OnCancelEdit()
{
    discarded_ = true;
    host_.ForcePage(rid::PAGE_EDIT_CONNECTIONS);
}

void ConnectionEditor::OnTutorials()
{
    OpenHelpPage(help::kTutorials);
}
