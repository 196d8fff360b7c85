#include "gui/definitions/BackupEditor.h"

#include "core/engine/MysqlClient.h"
#include "core/store/Definitions.h"
#include "gui/app/Messages.h"
#include "gui/app/PageHost.h"
#include "gui/app/PageTable.h"
#include "gui/definitions/EditorParts.h"
#include "gui/widgets/LabeledValue.h"
#include "gui/widgets/PasswordPrompt.h"
#include "gui/widgets/ReportList.h"
#include "resources/ResourceIds.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr const char* kAwaiting = "Awaiting Data";
constexpr const char* kPlaceholderName = "No Schedules Available - Use 'Create a New Schedule'";
constexpr const char* kCreateStatus =
    "To create a new database backup you must first Name the backup, enter a Description and select a Site "
    "Connection which you previously created. Once a connection is established to the site you will be able to "
    "continue.";
constexpr const char* kEditStatus =
    "When editing an existing database backup you must still click the \"Connect to Site\" button to "
    "re-establish communications between the Vorda system and your database.";
constexpr const char* kConnectedStatus =
    "Now that the database connection has been established you can select the tables to be backed up when this "
    "backup is executed. You may also select scheduled times to automatically execute this backup.";
constexpr const char* kAttempting = "*** Attempting to connect - please wait. ***";
constexpr const char* kNoConnectionYet =
    "You must first Create a New Connection.\n\nUse the \"Create a New Connection\" Option on the left.";
constexpr const char* kNoConnectionChosen =
    "No Site Connection Selected.\r\n\r\nUse the \"Create a New Connection\" Option on the left to create one, "
    "then select it here and connect.";

// Greyed rows carry these notes as their tooltips.
constexpr const char* kBarTableNote =
    "This table's name contains \"|\", which Vorda uses to separate table names; it cannot be backed up.";
constexpr const char* kPlaceholderNote = "No schedule exists yet.";

// A report list of the editor: several rows can be chosen at once.
ReportList* MakeList(const QString& name, const char* numberHeading, int numberWidth, const char* nameHeading,
                     int nameWidth, int id, QWidget* parent)
{
    auto* list = new ReportList(name,
                                {{QString::fromLatin1(numberHeading), numberWidth, Qt::AlignCenter},
                                 {QString::fromLatin1(nameHeading), nameWidth}},
                                ReportList::Extended, parent);
    list->setObjectName(ControlName(id));
    // The columns, the scroll bar and the frame.
    list->setFixedWidth(numberWidth + nameWidth + list->style()->pixelMetric(QStyle::PM_ScrollBarExtent)
                        + 2 * list->frameWidth() + 2);
    // The name column takes the room of the scroll bar while there is none,
    // so the heading and the selected rows reach the list's right edge.
    list->header()->setStretchLastSection(true);
    return list;
}

// "Select All" and "Select None" for `list`: they select or clear every row
// that can be chosen, then give the list the keyboard focus.
QHBoxLayout* SelectButtons(ReportList* list, int allId, int noneId, QWidget* parent)
{
    auto* buttons = new QHBoxLayout;
    for (const bool select : {true, false}) {
        QPushButton* button = editor::MakeButton(select ? QStringLiteral("Select All") : QStringLiteral("Select None"),
                                                 select ? allId : noneId, parent);
        QObject::connect(button, &QPushButton::clicked, list, [list, select] {
            for (int i = 0; i < list->topLevelItemCount(); ++i) {
                QTreeWidgetItem* item = list->topLevelItem(i);
                if ((item->flags() & Qt::ItemIsSelectable) && (item->flags() & Qt::ItemIsEnabled))
                    item->setSelected(select);
            }
            list->setFocus();
        });
        buttons->addWidget(button);
        // The buttons stand left of the list: Tab reaches them first.
        QWidget::setTabOrder(button, list);
    }
    return buttons;
}

QLabel* MakeText(const char* text, QWidget* parent)
{
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setWordWrap(true);
    return label;
}

// Selects every row whose column-1 text is one of `names`, exactly.
void SelectNamed(ReportList* list, const std::vector<std::string>& names)
{
    for (const std::string& name : names) {
        const QString text = QString::fromStdString(name);
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = list->topLevelItem(i);
            if (item->text(1) == text && (item->flags() & Qt::ItemIsSelectable))
                item->setSelected(true);
        }
    }
}

std::vector<std::string> ToStd(const QStringList& texts)
{
    std::vector<std::string> out;
    for (const QString& text : texts)
        out.push_back(text.toStdString());
    return out;
}

} // namespace

BackupEditor::BackupEditor(AppState& state, PageHost& host, QWidget* parent)
    : QWidget(parent)
    , state_(state)
    , host_(host)
    , mode_(state.backupEditorMode)
{
    const bool editing = mode_ == EditorMode::Edit;
    BuildPage(editing ? QStringLiteral(" Edit an Existing Database Backup ")
                      : QStringLiteral(" Create a New Database Backup "));

    std::vector<std::string> connections = state_.nameLists.Load(NameList::Connections);
    std::stable_sort(connections.begin(), connections.end(), [](const std::string& a, const std::string& b) {
        return QString::compare(QString::fromStdString(a), QString::fromStdString(b), Qt::CaseInsensitive) < 0;
    });
    for (const std::string& name : connections)
        connection_->addItem(QString::fromStdString(name));
    if (connections.empty())
        ShowMessage(MessageKind::Alert, kNoConnectionYet);
    tablesGroup_->setEnabled(false);
    schedulesGroup_->setEnabled(false);
    save_->setEnabled(false);

    switch (mode_) {
    case EditorMode::New: SetStatusText(kCreateStatus); break;
    case EditorMode::Edit:
        // The page keeps its own copy of the name (the name field):
        // selectedName may change while a question is open.
        LoadBackup(state_.selectedName);
        SetStatusText(kEditStatus);
        break;
    case EditorMode::None: ShowMessage(MessageKind::Error, "Invalid New Site Backup Entry."); break;
    }
    connect(connection_, &QComboBox::currentIndexChanged, this, &BackupEditor::UpdateConnectButton);
    keptFields_ = Fields();
    // Enter in a field presses the page's main button: "Connect to Site and
    // Continue" until the tables are listed, then "Save Backup".
    for (QLineEdit* field : findChildren<QLineEdit*>()) {
        connect(field, &QLineEdit::returnPressed, this, [this] {
            QPushButton* main = save_->isEnabled() && !connect_->isEnabled() ? save_ : connect_;
            if (main->isEnabled())
                main->click();
        });
    }
}

std::string BackupEditor::Fields() const
{
    return (fields_.name->text() + QLatin1Char('\n') + fields_.description->text() + QLatin1Char('\n')
            + connection_->currentText())
        .toStdString();
}

std::string BackupEditor::Lists() const
{
    if (listedConnection_.empty())
        return {};
    return (tables_->SelectedTexts(1).join(QLatin1Char('|')) + QLatin1Char('\n')
            + schedules_->SelectedTexts(1).join(QLatin1Char('|')))
        .toStdString();
}

bool BackupEditor::HasUnsavedChanges() const
{
    return !discarded_ && (Fields() != keptFields_ || Lists() != keptLists_);
}

void BackupEditor::BuildPage(const QString& caption)
{
    QGroupBox* frame = PageFrame(this, rid::IDD_BACKUP_EDITOR, caption, 6);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(10, 4, 10, 4);
    layout->setSpacing(4);

    auto* setup = new QGroupBox(QStringLiteral(" Initial Setup "), frame);
    fields_ = editor::AddNameFields(
        setup, QStringLiteral("Site Backup &Name:"), rid::IDC_BKED_NAME, rid::IDC_BKED_NAME_HINT,
        state_.nameLists.Load(NameList::Backups).size(), QStringLiteral("Backup &Description:"),
        rid::IDC_BKED_DESCRIPTION);
    QGridLayout* grid = fields_.grid;
    auto* connectionCaption = new QLabel(QStringLiteral("Select a Site &Connection:"), setup);
    connection_ = new QComboBox(setup);
    connection_->setObjectName(ControlName(rid::IDC_BKED_CONNECTION));
    connectionCaption->setBuddy(connection_);
    connect_ = editor::MakeButton(QStringLiteral("Connect to Site and Continue"), rid::IDC_BKED_CONNECT, setup);
    grid->addWidget(connectionCaption, 2, 0);
    grid->addWidget(connection_, 2, 1);
    grid->addWidget(connect_, 2, 2);
    grid->setColumnMinimumWidth(
        2, std::max(connect_->sizeHint().width(), fields_.hint ? fields_.hint->sizeHint().width() : 0));
    layout->addWidget(setup);

    tablesGroup_ = BuildTablesGroup(frame);
    layout->addWidget(tablesGroup_, 1);
    schedulesGroup_ = BuildSchedulesGroup(frame);
    layout->addWidget(schedulesGroup_, 0);

    // The save button of the mode: one wide one to create; to edit, a
    // narrower one beside "Cancel Edit".
    save_ = editor::MakeButton(QStringLiteral("Save Backup"), rid::IDC_BKED_SAVE, frame);
    cancelEdit_ = editor::AddFootButtons(layout, {save_}, mode_ == EditorMode::Edit, rid::IDC_BKED_CANCEL_EDIT, frame);
    if (cancelEdit_)
        connect(cancelEdit_, &QPushButton::clicked, this, &BackupEditor::OnCancelEdit);
    statusText_ = editor::MakeStatusText(QStringLiteral("Backup Editor Status"), rid::IDC_BKED_STATUS_TEXT, frame);
    layout->addWidget(statusText_);

    connect(connect_, &QPushButton::clicked, this, &BackupEditor::OnConnect);
    connect(save_, &QPushButton::clicked, this, &BackupEditor::OnSave);
}

QGroupBox* BackupEditor::BuildTablesGroup(QWidget* parent)
{
    auto* group = new QGroupBox(QStringLiteral(" Select Tables "), parent);
    auto* layout = new QVBoxLayout(group);
    layout->setContentsMargins(10, 2, 10, 6);
    layout->setSpacing(4);
    // The three values in one row above the listing.
    auto* values = new QHBoxLayout;
    values->setSpacing(6);
    const QString awaiting = QString::fromLatin1(kAwaiting);
    auto addValue = [&](const char* caption, int id, int stretch) {
        const LabeledValue pair = MakeLabeledValue(QString::fromLatin1(caption), id, group, awaiting);
        QFont bold = pair.value->font();
        bold.setBold(true);
        pair.value->setFont(bold);
        values->addWidget(pair.caption);
        values->addWidget(pair.value, stretch);
        values->addSpacing(12);
        return pair.value;
    };
    status_ = addValue("Status:", rid::IDC_BKED_STATUS, 0);
    connectedTo_ = addValue("Connected to:", rid::IDC_BKED_CONNECTED_TO, 1);
    tablesLocated_ = addValue("Tables Located:", rid::IDC_BKED_TABLES_LOCATED, 0);
    layout->addLayout(values);

    auto* row = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(
        MakeText("Use the listing to the right to select the tables to be included in this backup.", group));
    left->addWidget(MakeText("Hold the Ctrl or Shift key down to select multiple tables.", group));
    left->addStretch(1);
    tables_ = MakeList(QStringLiteral("Tables"), "Table #", 54, "Table Name", 269, rid::IDC_BKED_TABLES, group);
    // Low enough for the page to fit the work area of the window at its first size.
    tables_->setMinimumHeight(110);
    left->addLayout(SelectButtons(tables_, rid::IDC_BKED_TABLES_ALL, rid::IDC_BKED_TABLES_NONE, group));
    row->addLayout(left, 1);
    row->addWidget(tables_, 0);
    layout->addLayout(row, 1);
    return group;
}

QGroupBox* BackupEditor::BuildSchedulesGroup(QWidget* parent)
{
    auto* group = new QGroupBox(QStringLiteral(" Scheduled Automatic Execution "), parent);
    auto* row = new QHBoxLayout(group);
    row->setContentsMargins(10, 2, 10, 6);
    auto* left = new QVBoxLayout;
    left->addWidget(MakeText("Select a Schedule for this Backup", group));
    left->addWidget(MakeText("Hold the Ctrl or Shift key down to select multiple schedules.", group));
    left->addStretch(1);
    schedules_ = MakeList(QStringLiteral("Schedules"), "Schd #", 50, "Schedule Name", 273, rid::IDC_BKED_SCHEDULES,
                          group);
    // Room for four schedules; the tables get the rest of the page.
    schedules_->setFixedHeight(schedules_->header()->sizeHint().height() + 4 * schedules_->fontMetrics().height() + 10);
    left->addLayout(SelectButtons(schedules_, rid::IDC_BKED_SCHEDULES_ALL, rid::IDC_BKED_SCHEDULES_NONE, group));
    row->addLayout(left, 1);
    row->addWidget(schedules_, 0);
    return group;
}

void BackupEditor::LoadBackup(const std::string& name)
{
    const BackupDef def = BackupDef::Load(state_.store, name);
    fields_.name->setText(QString::fromStdString(def.name));
    fields_.name->setReadOnly(true);
    fields_.description->setText(QString::fromStdString(def.description));
    // The stored connection itself; when it was deleted, none: another one
    // whose name merely begins the same is not the backup's.
    const int stored = connection_->findText(QString::fromStdString(def.connection), Qt::MatchExactly);
    connection_->setCurrentIndex(stored);
    if (stored < 0 && connection_->count() > 0)
        ShowMessage(MessageKind::Alert, "The connection " + def.connection
                                            + " of this backup no longer exists.\r\n\r\nPlease select a Site "
                                              "Connection for it, then connect.");
}

void BackupEditor::SetStatusText(const char* text)
{
    statusText_->setText(QString::fromLatin1(text));
}

std::optional<std::vector<std::string>> BackupEditor::ReadTables(const std::string& connectionName,
                                                                 bool& cancelled, std::string& reason)
{
    const ConnectionDef def = ConnectionDef::Load(state_.store, connectionName);
    if (const std::string refusal = def.PortRefusal(); !refusal.empty()) {
        ShowMessage(MessageKind::Alert, refusal);
        cancelled = true;
        return std::nullopt;
    }
    ConnectionParams params = def.Params();
    if (!def.savePassword) {
        // Asked for every connect; used for this one only.
        std::optional<std::string> typed;
        if (!RunWhileOpen(this, [&] { typed = AskPassword(this, connectionName); }) || !typed) {
            cancelled = true;
            return std::nullopt;
        }
        params.password = *typed;
    }
    SetStatusText(kAttempting);
    statusText_->repaint();
    editor::WaitCursor wait;
    MysqlConnection connection;
    // Base tables only: a view's rows would come back as a table.
    if (!editor::Connect(connection, params) || !connection.Query("SHOW FULL TABLES WHERE Table_type = 'BASE TABLE'")) {
        reason = editor::ServerReason(connection, params.password);
        return std::nullopt;
    }
    MysqlResult result = connection.StoreResult();
    if (!result) {
        reason = editor::ServerReason(connection, params.password);
        return std::nullopt;
    }
    std::vector<std::string> tables;
    unsigned long* lengths = nullptr;
    while (MYSQL_ROW row = result.FetchRow(&lengths))
        tables.emplace_back(row[0], lengths[0]);
    return tables;
}

void BackupEditor::OnConnect()
{
    if (editor::RefusedByFirst({
            {fields_.name->text().isEmpty(), "No Backup Name Specified."},
            {fields_.description->text().isEmpty(), "No Site Description Entered."},
            {connection_->currentIndex() < 0, kNoConnectionChosen},
        }))
        return;
    const std::string connectionName = connection_->currentText().toStdString();
    bool cancelled = false;
    std::string reason;
    const std::optional<std::vector<std::string>> tables = ReadTables(connectionName, cancelled, reason);
    if (cancelled)
        return;
    if (!tables) {
        // The attempting text stays; the user may try again.
        ShowMessage(MessageKind::Error, editor::WithReason("Connection Failed.", reason));
        return;
    }
    ShowConnected(connectionName, *tables);
}

void BackupEditor::ShowConnected(const std::string& connectionName,
                                                  const std::vector<std::string>& tables)
{
    listedConnection_ = connectionName;
    SetStatusText(kConnectedStatus);
    tablesGroup_->setEnabled(true);
    schedulesGroup_->setEnabled(true);
    save_->setEnabled(true);
    save_->setFocus();
    UpdateConnectButton();
    status_->setText(QStringLiteral("Connected"));
    connectedTo_->setText(QString::fromStdString(ConnectionDef::Load(state_.store, connectionName).database));
    tablesLocated_->setText(QString::number(tables.size()));
    ShowTables(tables);
    ShowSchedules();
    if (mode_ == EditorMode::Edit)
        SelectStored();
    // What the list shows now is the stored choice (or none yet).
    keptLists_ = Lists();
    tables_->setFocus();
}

void BackupEditor::ShowTables(const std::vector<std::string>& tables)
{
    tables_->Clear();
    for (const std::string& table : tables) {
        QTreeWidgetItem* row = tables_->AddNumberedRow({QString::fromStdString(table)});
        // The stored table list is joined by "|": such a name would come
        // back as two tables.
        if (table.find('|') != std::string::npos)
            ReportList::SetRowUnselectable(row, QString::fromLatin1(kBarTableNote));
    }
}

void BackupEditor::ShowSchedules()
{
    schedules_->Clear();
    const std::vector<std::string> names = state_.nameLists.Load(NameList::Schedules);
    if (names.empty()) {
        QTreeWidgetItem* row = schedules_->AddRow({QStringLiteral("0000"), QString::fromLatin1(kPlaceholderName)});
        ReportList::SetRowUnselectable(row, QString::fromLatin1(kPlaceholderNote));
    }
    for (const std::string& name : names)
        schedules_->AddNumberedRow({QString::fromStdString(name)});
}

void BackupEditor::SelectStored()
{
    const BackupDef def = BackupDef::Load(state_.store, fields_.name->text().toStdString());
    SelectNamed(tables_, def.tables);
    SelectNamed(schedules_, def.schedules);
}

void BackupEditor::UpdateConnectButton()
{
    connect_->setEnabled(listedConnection_.empty() || connection_->currentText().toStdString() != listedConnection_);
}

void BackupEditor::OnSave()
{
    const bool creating = mode_ != EditorMode::Edit;
    const std::string name = editor::NameFromField(fields_.name);
    const std::string chosen = connection_->currentText().toStdString();
    const QStringList tables = tables_->SelectedTexts(1);
    if (editor::RefusedByFirst({
            {fields_.name->text().isEmpty(), "No Backup Name Specified."},
            {!IsValidName(name), editor::kInvalidCharacters},
            {creating && editor::NameInUse(state_.nameLists, NameList::Backups, name),
             "Backup Name Already in Use.\n\r\n\rPlease Select Another Name."},
            {chosen != listedConnection_,
             "Site Connection Changed.\r\n\r\nThe tables listed are those of \"" + listedConnection_
                 + "\". Please click \"Connect to Site and Continue\" to list the tables of \"" + chosen
                 + "\" before saving."},
            {tables.isEmpty(), "No tables have been selected."},
        }))
        return;

    BackupDef def;
    def.name = name;
    def.description = fields_.description->text().toStdString();
    def.connection = listedConnection_;
    def.tables = ToStd(tables);
    def.schedules = ToStd(schedules_->SelectedTexts(1));
    StoreStatus stored = def.Save(state_.store);
    if (stored && creating)
        stored = BackupDef::StoreNeverProcessed(state_.store, name);
    if (stored && creating)
        stored = state_.nameLists.Add(NameList::Backups, name);
    if (!StoredOrSaid("Backup", stored))
        return;
    keptFields_ = Fields();
    keptLists_ = Lists();
    if (creating) {
        state_.log.AppendEntry(false, "New Backup Saved: " + name);
        editor::AskAfterSave(this, state_, host_, true, "Backup Saved\r\n\r\nDo you wish to create another?",
                             rid::PAGE_CREATE_BACKUP, rid::PAGE_EDIT_BACKUPS);
    } else {
        state_.log.AppendEntry(false, "Edited Backup Saved: " + name);
        editor::AskAfterSave(this, state_, host_, false, "Edited Backup Saved\r\n\r\nDo you wish to edit another?",
                             rid::PAGE_CREATE_BACKUP, rid::PAGE_EDIT_BACKUPS);
    }
}

void BackupEditor::OnCancelEdit()
{
    discarded_ = true;
    host_.ForcePage(rid::PAGE_EDIT_BACKUPS);
}
