#include "gui/widgets/BackupRunPage.h"

#include "core/state/AppState.h"
#include "core/store/Definitions.h"
#include "gui/app/Messages.h"
#include "gui/app/PageTable.h"
#include "gui/widgets/ReportList.h"
#include "gui/widgets/TextFit.h"
#include "resources/ResourceIds.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

BackupRunPage::BackupRunPage(AppState& state, PageHost& host, const BackupRunPageSpec& page, QWidget* parent)
    : QWidget(parent)
    , state_(state)
    , host_(host)
    , pageId_(page.pageId)
{
    QGroupBox* frame = PageFrame(this, page.dialogId, page.caption, 6);
    auto* layout = new QVBoxLayout(frame);
    frameLayout_ = layout;
    layout->setContentsMargins(6, 8, 6, 8);
    layout->setSpacing(6);

    // On two lines of about equal length when it is wider than the page.
    auto* hint = new QLabel(frame);
    hint->setAccessibleName(page.hint);
    hint->setText(FitToWidth(page.hint, hint->font(), 590));
    layout->addWidget(hint);

    // "Last Backup" is as wide as the longest time text in the list's font;
    // the description takes what is left of the list's width.
    list_ = new ReportList(QStringLiteral("Backups"),
                           {{QStringLiteral("Count"), 45, Qt::AlignCenter},
                            {QStringLiteral("Backup Name"), 110},
                            {QStringLiteral("Backup Description"), 125},
                            {QStringLiteral("Last Backup"), 240}},
                           ReportList::Single, frame);
    list_->setObjectName(ControlName(page.listId));
    list_->header()->setStretchLastSection(false);
    list_->setColumnWidth(3, std::max(list_->columnWidth(3),
                                      list_->fontMetrics().horizontalAdvance(
                                          QStringLiteral("Wednesday, September 30, 2026 - 12:00:00 PM"))
                                          + 16));
    list_->header()->setSectionResizeMode(2, QHeaderView::Stretch);
    if (state_.settings().restoreColor)
        list_->SetTextColor(QColor::fromRgb(page.listColour));
    layout->addWidget(list_, 1);

    buttons_ = new QHBoxLayout;
    layout->addLayout(buttons_);

    panel_ = new RunPanel(page.panelCaption, page.panelIds, frame);
    panel_->setObjectName(ControlName(page.panelId));
    // Greyed until a run starts.
    panel_->setEnabled(false);
    layout->addWidget(panel_);

    menu_ = new QMenu(this);
    menu_->setObjectName(QStringLiteral("IDR_") + QString::number(page.menuId));
    connect(list_, &ReportList::menuRequested, this, [this](const QPoint& globalPos) { menu_->popup(globalPos); });
}

QPushButton* BackupRunPage::AddButton(const QString& text, int id, bool right)
{
    QPushButton* button = PageButton(text, id, list_->parentWidget());
    if (right)
        buttons_->addStretch();
    buttons_->addWidget(button);
    return button;
}

void BackupRunPage::AddRowBelowList(QLayout* row)
{
    frameLayout_->insertLayout(frameLayout_->indexOf(list_) + 1, row);
}

void BackupRunPage::SetRunButtons(QPushButton* start, QPushButton* cancel)
{
    panel_->SetOnRunStarted([this, start, cancel] {
        state_.currentPageId = 0;
        panel_->setEnabled(true);
        start->setEnabled(false);
        if (cancel)
            cancel->setEnabled(true);
    });
}

void BackupRunPage::AddMenuItem(const QString& text, int id, std::function<void()> handler)
{
    QAction* action = menu_->addAction(text);
    action->setObjectName(ControlName(id));
    // Queued: not inside the menu's own event loop.
    connect(action, &QAction::triggered, this, [handler = std::move(handler)] { handler(); }, Qt::QueuedConnection);
}

void BackupRunPage::FillList()
{
    const std::vector<std::string> names = state_.nameLists.Load(NameList::Backups);
    if (names.empty()) {
        RunWhileOpen(this, [] {
            ShowMessage(MessageKind::Alert, "Use the \"Create a New Site Database Backup\" feature first.");
        });
        return;
    }
    for (const std::string& name : names) {
        const BackupDef backup = BackupDef::Load(state_.store, name);
        list_->AddNumberedRow({QString::fromStdString(name), QString::fromStdString(backup.description),
                               QString::fromStdString(backup.lastBackup)});
    }
}

std::string BackupRunPage::TakeSelectedName(const char* noneText)
{
    QTreeWidgetItem* row = list_->FirstSelected();
    if (!row) {
        ShowMessage(MessageKind::SelfClosingAlert, noneText);
        return {};
    }
    state_.selectedName = row->text(1).toStdString();
    return state_.selectedName;
}

void BackupRunPage::AskAnother(const std::string& question)
{
    if (ShowMessage(MessageKind::YesNo, question, "Yes", "No") == 1)
        host_.ForcePage(pageId_);
    else
        host_.ShowPage(rid::PAGE_STATISTICS);
}

void BackupRunPage::RequestStop(const bool& running, bool& cancelRequested, const char* question)
{
    PageBusy busy(this);
    if (running) {
        if (ShowMessage(MessageKind::YesNo, question, "Yes", "No") != 1)
            return;
        // The run stops at its next check and keeps its running flag until
        // it has returned: a run started from the rebuilt page is refused
        // until then.
        if (running)
            cancelRequested = true;
    }
    host_.ShowPage(pageId_);
}
