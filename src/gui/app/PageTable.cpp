#include "gui/app/PageTable.h"

#include "gui/backup/ExecutePage.h"
#include "gui/definitions/ConnectionEditor.h"
#include "gui/definitions/BackupEditor.h"
#include "gui/definitions/ConnectionListPage.h"
#include "gui/definitions/BackupListPage.h"
#include "gui/definitions/ScheduleEditor.h"
#include "gui/definitions/ScheduleListPage.h"
#include "gui/statistics/StatisticsPage.h"
#include "gui/restore/ViewerPage.h"
#include "gui/restore/BackupsPage.h"
#include "gui/settings/ConfigurationPage.h"
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
        {rid::PAGE_STATISTICS, PageOf<StatisticsPage>()},
        {rid::PAGE_EXECUTE, PageOf<ExecutePage>()},
        {rid::PAGE_RESTORE, PageOf<BackupsPage>()},
        {rid::PAGE_VIEWER, PageOf<ViewerPage>()},
        {rid::PAGE_CONFIGURATION, PageOf<ConfigurationPage>()},
        {rid::PAGE_CREATE_CONNECTION, PageOf<ConnectionEditor>()},
        {rid::PAGE_CREATE_BACKUP, PageOf<BackupEditor>()},
        {rid::PAGE_CREATE_SCHEDULE, PageOf<ScheduleEditor>()},
        {rid::PAGE_EDIT_CONNECTIONS, PageOf<ConnectionListPage>()},
        {rid::PAGE_EDIT_BACKUPS, PageOf<BackupListPage>()},
        {rid::PAGE_EDIT_SCHEDULES, PageOf<ScheduleListPage>()},
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
