#include "gui/app/MenuPage.h"

#include "core/state/AppState.h"
#include "gui/app/Art.h"
#include "gui/app/Messages.h"
#include "gui/app/PageTable.h"
#include "resources/ResourceIds.h"

#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

struct MenuButton {
    int id;
    const char* text;
};

// In screen order; each button's id is the id of the page it asks for.
constexpr MenuButton kButtons[] = {
    {rid::IDC_MENU_STATISTICS, "Backup Statistics"},
    {rid::IDC_MENU_EXECUTE, "Execute a Backup"},
    {rid::IDC_MENU_CREATE_CONNECTION, "Create a New Connection"},
    {rid::IDC_MENU_CREATE_BACKUP, "Create a New Backup"},
    {rid::IDC_MENU_CREATE_SCHEDULE, "Create a New Schedule"},
    {rid::IDC_MENU_EDIT_CONNECTIONS, "Edit an Existing Connection"},
    {rid::IDC_MENU_EDIT_BACKUPS, "Edit an Existing Backup"},
    {rid::IDC_MENU_EDIT_SCHEDULES, "Edit an Existing Schedule"},
    {rid::IDC_MENU_RESTORE, "Database Backups"},
    {rid::IDC_MENU_CONFIGURATION, "Configuration"},
};

// Keeps the menu picture whole in the room its label gets below the buttons:
// drawn at its own size when it fits, scaled down (aspect kept) when a larger
// font or scaling leaves less room, so that it is never cut off.
class PictureFitter : public QObject {
public:
    PictureFitter(QLabel* label, const QPixmap& picture)
        : QObject(label)
        , label_(label)
        , picture_(picture)
    {
        label->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Resize)
            Fit();
        return false;
    }

private:
    void Fit()
    {
        const qreal ratio = label_->devicePixelRatioF();
        const QSizeF natural = picture_.deviceIndependentSize();
        QSize room = label_->contentsRect().size();
        if (natural.width() <= room.width() && natural.height() <= room.height()) {
            label_->setPixmap(picture_);
            return;
        }
        room = room.expandedTo(QSize(1, 1));
        QPixmap fitted = picture_.scaled(room * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        fitted.setDevicePixelRatio(ratio);
        label_->setPixmap(fitted);
    }

    QLabel* label_;
    QPixmap picture_;
};

} // namespace

MenuPage::MenuPage(AppState& state, PageHost& host, QWidget* parent)
    : QWidget(parent)
    , state_(state)
    , host_(host)
{
    QGroupBox* group = PageFrame(this, rid::IDD_MENU, QStringLiteral(" Backup Menu "), 4);
    auto* layout = new QVBoxLayout(group);
    layout->setContentsMargins(5, 8, 5, 6);
    layout->setSpacing(5);
    for (const MenuButton& entry : kButtons) {
        auto* button = new QPushButton(QString::fromLatin1(entry.text), group);
        button->setObjectName(ControlName(entry.id));
        button->setMinimumHeight(30);
        button->setAutoDefault(false);
        const int id = entry.id;
        connect(button, &QPushButton::clicked, this, [this, id] { OnButton(id); });
        layout->addWidget(button);
        buttons_[entry.id] = button;
    }
    layout->addSpacing(2);
    // The picture exists only when it is shown (the page is rebuilt when the
    // setting changes).
    if (state_.settings().showImage) {
        picture_ = new QLabel(group);
        picture_->setObjectName(ControlName(rid::IDC_MENU_PICTURE));
        const QPixmap picture = Bitmap(rid::IDB_MENU_PICTURE);
        picture_->setPixmap(picture);
        picture_->setAlignment(Qt::AlignCenter);
        // It takes the room left below the buttons, no more than its own size.
        picture_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
        picture_->setMaximumHeight(int(picture.deviceIndependentSize().height()));
        new PictureFitter(picture_, picture);
        picture_->setAccessibleName(QStringLiteral("Safe, scheduled backups"));
        picture_->setAccessibleDescription(
            QStringLiteral("A database copied into a backup file, with a check mark"));
        layout->addWidget(picture_, 1);
    }
    layout->addStretch();

    // Grey what would have nothing to work on.
    const bool noConnections = state_.nameLists.Load(NameList::Connections).empty();
    const bool noBackups = state_.nameLists.Load(NameList::Backups).empty();
    const bool noSchedules = state_.nameLists.Load(NameList::Schedules).empty();
    for (int id : {rid::IDC_MENU_CREATE_BACKUP, rid::IDC_MENU_EDIT_CONNECTIONS, rid::IDC_MENU_CREATE_SCHEDULE})
        buttons_[id]->setEnabled(!noConnections);
    for (int id : {rid::IDC_MENU_EXECUTE, rid::IDC_MENU_EDIT_BACKUPS, rid::IDC_MENU_RESTORE})
        buttons_[id]->setEnabled(!noBackups);
    buttons_[rid::IDC_MENU_EDIT_SCHEDULES]->setEnabled(!noSchedules);

    // At start-up the statistics page comes with the menu; a rebuilt menu
    // (its sender cleared the flag) leaves the work area alone.
    if (state_.statisticsOnMenuCreate)
        host_.ShowPage(rid::PAGE_STATISTICS);
    state_.statisticsOnMenuCreate = true;
}

QPushButton* MenuPage::Button(int id) const
{
    const auto it = buttons_.find(id);
    return it == buttons_.end() ? nullptr : it->second;
}

void MenuPage::OnButton(int id)
{
    // The connection list can have emptied since the menu was built.
    if (id == rid::IDC_MENU_EDIT_CONNECTIONS && state_.nameLists.Load(NameList::Connections).empty()) {
        ShowMessage(MessageKind::Alert, "You must first\nCreate a New Connection.\n\nUse the \n\"Create a New "
                                   "Connection\"\nOption on the left.");
        return;
    }
    if (state_.backupRunning) {
        int answer = 0;
        RunWhileOpen(this, [&answer] {
            answer = ShowMessage(MessageKind::YesNo, "A Backup is Currently Running.\r\n\r\nDo you wish to terminate it?",
                                 "Yes", "No");
        });
        if (answer != 1)
            return;
        // The run notices the request at its next check and stops; it keeps
        // backupRunning until it has returned.
        state_.backupCancelRequested = true;
    }
    // A create button opens a fresh editor, also while that editor is on
    // show editing an existing definition (the same page id).
    EditorMode* mode = id == rid::IDC_MENU_CREATE_CONNECTION ? &state_.connectionEditorMode
        : id == rid::IDC_MENU_CREATE_BACKUP                  ? &state_.backupEditorMode
        : id == rid::IDC_MENU_CREATE_SCHEDULE                ? &state_.scheduleEditorMode
                                                             : nullptr;
    if (mode && *mode != EditorMode::New) {
        // The page on show, if it is that editor, edits another definition:
        // a forced request replaces it (after asking about unsaved changes).
        *mode = EditorMode::New;
        host_.ForcePage(id);
        return;
    }
    if (mode)
        *mode = EditorMode::New;
    host_.ShowPage(id);
}
