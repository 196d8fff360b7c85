#include "gui/definitions/DefinitionListPage.h"

#include "core/dump/BackupFiles.h"
#include "gui/app/Messages.h"
#include "gui/app/PageHost.h"
#include "gui/app/PageTable.h"
#include "gui/definitions/EditorParts.h"
#include "gui/widgets/ReportList.h"
#include "resources/ResourceIds.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

DefinitionListPage::DefinitionListPage(const DefinitionListKind& kind, AppState& state, PageHost& host,
                                       QWidget* parent)
    : QWidget(parent)
    , kind_(kind)
    , state_(state)
    , host_(host)
{
    QGroupBox* frame = PageFrame(this, kind_.dialogId, QString::fromLatin1(kind_.caption), 6);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(12, 10, 12, 12);
    layout->setSpacing(8);
    auto* hint = new QLabel(QStringLiteral("Right click on an entry to use the drop down menu.    Double clicking a "
                                           "connection enters the edit mode."),
                            frame);
    hint->setWordWrap(true);
    layout->addWidget(hint);
    list_ = new ReportList(QString::fromLatin1(kind_.caption).trimmed(),
                           {{QString::fromLatin1(kind_.headings[0]), 50},
                            {QString::fromLatin1(kind_.headings[1]), 170},
                            {QString::fromLatin1(kind_.headings[2]), 300}},
                           ReportList::Single, frame);
    list_->setObjectName(ControlName(rid::IDC_DEFLIST_LIST));
    // The description column takes what the page leaves it.
    list_->header()->setStretchLastSection(true);
    layout->addWidget(list_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    edit_ = editor::MakeButton(QString::fromLatin1(kind_.editButton), rid::IDC_DEFLIST_EDIT, frame);
    delete_ = editor::MakeButton(QString::fromLatin1(kind_.deleteButton), rid::IDC_DEFLIST_DELETE, frame);
    buttons->addWidget(edit_, 1);
    buttons->addWidget(delete_, 1);
    layout->addLayout(buttons);

    connect(edit_, &QPushButton::clicked, this, &DefinitionListPage::OnEdit);
    connect(delete_, &QPushButton::clicked, this, &DefinitionListPage::OnDelete);
    connect(list_, &ReportList::rowActivated, this, &DefinitionListPage::OnEdit);
    connect(list_, &ReportList::deleteRequested, this, &DefinitionListPage::OnDelete);
    connect(list_, &ReportList::menuRequested, this, [this](const QPoint& at) {
        QMenu* menu = MakeContextMenu();
        RunWhileOpen(this, [menu, at] { menu->exec(at); });
        menu->deleteLater();
    });

    const std::vector<std::string> names = state_.nameLists.Load(kind_.list);
    if (names.empty())
        ShowMessage(MessageKind::Alert, kind_.emptyAlert);
    for (const std::string& name : names)
        list_->AddNumberedRow(
            {QString::fromStdString(name), QString::fromStdString(kind_.description(state_.store, name))});
}

QMenu* DefinitionListPage::MakeContextMenu()
{
    auto* menu = new QMenu(this);
    menu->addAction(QString::fromLatin1(kind_.editItem), this, &DefinitionListPage::OnEdit);
    menu->addAction(QString::fromLatin1(kind_.deleteItem), this, &DefinitionListPage::OnDelete);
    return menu;
}

std::string DefinitionListPage::SelectedName() const
{
    const QTreeWidgetItem* row = list_->FirstSelected();
    return row ? row->text(1).toStdString() : std::string();
}

void DefinitionListPage::OnEdit()
{
    const std::string name = SelectedName();
    if (name.empty()) {
        ShowMessage(MessageKind::SelfClosingAlert, kind_.noSelection);
        return;
    }
    state_.selectedName = name;
    state_.*kind_.editorMode = EditorMode::Edit;
    host_.ForcePage(kind_.editorPage);
}

void DefinitionListPage::OnDelete()
{
    // The page's own copy: selectedName may be changed (by a scheduled run)
    // while the question is open.
    const std::string name = SelectedName();
    state_.selectedName = name;
    if (name.empty()) {
        ShowMessage(MessageKind::Alert, kind_.noSelection);
        return;
    }
    std::string question = kind_.deleteQuestion;
    if (kind_.users) {
        const std::vector<std::string> users = kind_.users(state_.store, state_.nameLists, name);
        if (!users.empty())
            question += "\r\n\r\n" + kind_.usersNote(users);
    }
    int answer = 0;
    bool open = RunWhileOpen(this, [&] { answer = ShowMessage(MessageKind::YesNo, question, "Yes", "No"); });
    if (answer != 1)
        return;
    // The kind's word, from its log text ("Connection Deleted: ").
    const std::string kindWord = std::string(kind_.deletedLog).substr(0, std::string(kind_.deletedLog).find(' '));
    if (!StoredOrSaid(kindWord.c_str(), kind_.remove(state_.store, state_.nameLists, name), "deleted"))
        return;
    state_.log.AppendEntry(false, std::string(kind_.deletedLog) + name);
    if (kind_.backupFiles)
        open = HandleBackupFiles(name) && open;
    if (open)
        host_.ForcePage(kind_.pageId);
}

bool DefinitionListPage::HandleBackupFiles(const std::string& name)
{
    const std::string& dir = state_.paths.dataDir;
    const std::vector<std::string> files = BackupFileNames(dir, name);
    if (files.empty())
        return true;
    int answer = 0;
    const bool open = RunWhileOpen(this, [&] {
        answer = ShowMessage(MessageKind::YesNo,
                             "Delete the backup file" + std::string(files.size() == 1 ? "" : "s") + " of " + name
                                 + " too?\r\n\r\nNo keeps " + (files.size() == 1 ? "it" : "them")
                                 + " in the data folder under a name beginning with \"deleted_\", which no new "
                                   "backup takes for its own.",
                             "Yes", "No");
    });
    if (answer == 1) {
        const bool deleted = DeleteBackupFiles(dir, name);
        state_.log.AppendEntry(false, "Backup Files Deleted: " + name);
        if (!deleted)
            ShowMessage(MessageKind::Error, "A backup file of " + name + " could not be deleted.");
        return open;
    }
    bool ok = true;
    const std::vector<std::string> moved = SetAsideBackupFiles(dir, name, state_.clock(), ok);
    std::string list;
    for (const std::string& file : moved)
        list += (list.empty() ? "" : ", ") + file;
    state_.log.AppendEntry(false, "Backup Files Set Aside: " + name + " - " + list);
    if (!ok)
        ShowMessage(MessageKind::Error, "A backup file of " + name
                                            + " could not be renamed: a new backup of that name would take it "
                                              "for its own. Remove it from the data folder.");
    return open;
}
