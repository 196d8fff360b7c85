#include "gui/app/PageTable.h"

#include "gui/backup/ChildDialog_Backups_Execute.h"
#include "gui/definitions/ChildDialog_Backups_Create.h"
#include "gui/definitions/ChildDialog_Backups_Create_DB.h"
#include "gui/definitions/ChildDialog_Backups_Edit_Conn_List.h"
#include "gui/definitions/ChildDialog_Backups_Edit_DB.h"
#include "gui/definitions/ChildDialog_Backups_Schedule.h"
#include "gui/definitions/ChildDialog_Backups_Schedule_Edit.h"
#include "gui/history/ChildDialog_Backups.h"
#include "gui/restore/CChildDialog_Text_Viewer.h"
#include "gui/restore/ChildDialog_Backups_Restore.h"
#include "gui/settings/ChildDialog_Backups_Config.h"
#include "resources/ResourceIds.h"

#include <QGroupBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <map>

namespace {

constexpr const char* kBusyProperty = "vordaPageBusy";
constexpr const char* kClosedProperty = "vordaPageClosed";

std::map<int, PageFactory>& Table()
{
    // One line per work-area page.
    static std::map<int, PageFactory> table = {
        {rid::PAGE_STATISTICS, PageOf<ChildDialog_Backups>()},
        {rid::PAGE_EXECUTE, PageOf<ChildDialog_Backups_Execute>()},
        {rid::PAGE_RESTORE, PageOf<ChildDialog_Backups_Restore>()},
        {rid::PAGE_VIEWER, PageOf<CChildDialog_Text_Viewer>()},
        {rid::PAGE_CONFIGURATION, PageOf<ChildDialog_Backups_Config>()},
        {rid::PAGE_CREATE_CONNECTION, PageOf<ChildDialog_Backups_Create>()},
        {rid::PAGE_CREATE_BACKUP, PageOf<ChildDialog_Backups_Create_DB>()},
        {rid::PAGE_CREATE_SCHEDULE, PageOf<ChildDialog_Backups_Schedule>()},
        {rid::PAGE_EDIT_CONNECTIONS, PageOf<ChildDialog_Backups_Edit_Conn_List>()},
        {rid::PAGE_EDIT_BACKUPS, PageOf<ChildDialog_Backups_Edit_DB>()},
        {rid::PAGE_EDIT_SCHEDULES, PageOf<ChildDialog_Backups_Schedule_Edit>()},
    };
    return table;
}

} // namespace

const PageFactory* FindPage(int pageId)
{
    const auto it = Table().find(pageId);
    return it == Table().end() ? nullptr : &it->second;
}

void RegisterPage(int pageId, PageFactory factory)
{
    Table()[pageId] = std::move(factory);
}

void UnregisterPage(int pageId)
{
    Table().erase(pageId);
}

QGroupBox* PageFrame(QWidget* page, int dialogId, const QString& caption, int margin)
{
    page->setObjectName(QStringLiteral("IDD_") + QString::number(dialogId));
    page->setAutoFillBackground(true);
    QPalette white = page->palette();
    white.setColor(QPalette::Window, Qt::white);
    page->setPalette(white);
    auto* outer = new QVBoxLayout(page);
    outer->setContentsMargins(margin, margin, margin, margin);
    auto* frame = new QGroupBox(caption, page);
    frame->setAccessibleName(caption.trimmed());
    outer->addWidget(frame);
    return frame;
}

QPushButton* PageButton(const QString& text, int id, QWidget* parent, int minHeight)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(ControlName(id));
    button->setMinimumHeight(minHeight);
    button->setAutoDefault(false);
    return button;
}

void ClosePage(QWidget* page)
{
    if (!page)
        return;
    page->hide();
    page->setEnabled(false);
    for (QTimer* timer : page->findChildren<QTimer*>())
        timer->stop();
    page->setProperty(kClosedProperty, true);
    if (page->property(kBusyProperty).toInt() == 0)
        page->deleteLater();
}

PageBusy::PageBusy(QWidget* page)
    : page_(page)
{
    if (page_)
        page_->setProperty(kBusyProperty, page_->property(kBusyProperty).toInt() + 1);
}

PageBusy::~PageBusy()
{
    if (!page_)
        return;
    const int busy = page_->property(kBusyProperty).toInt() - 1;
    page_->setProperty(kBusyProperty, busy);
    if (busy == 0 && PageClosed())
        page_->deleteLater();
}

bool PageBusy::PageClosed() const
{
    return page_ && page_->property(kClosedProperty).toBool();
}
