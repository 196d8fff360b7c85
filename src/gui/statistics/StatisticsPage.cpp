#include "gui/statistics/StatisticsPage.h"

#include "core/history/LastFailure.h"
#include "core/state/AppState.h"
#include "gui/app/QuickStartScreen.h"
#include "gui/app/Messages.h"
#include "gui/app/PageTable.h"
#include "gui/widgets/LabeledValue.h"
#include "resources/ResourceIds.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const char* const kUnavailable = "Unavailable";

// A caption and its value (bold, selectable with the mouse) side by side in
// a grid row starting at `column`.
ValueLabel* AddRow(QGridLayout* grid, int row, int column, const char* caption, int id, QWidget* parent,
                   int* captionWidth = nullptr)
{
    const LabeledValue pair = AddLabeledValue(grid, row, column, QString::fromLatin1(caption), id, parent);
    if (captionWidth)
        *captionWidth = std::max(*captionWidth, pair.caption->sizeHint().width());
    pair.value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = pair.value->font();
    bold.setBold(true);
    pair.value->setFont(bold);
    return pair.value;
}

QString OrUnavailable(const std::string& text)
{
    return QString::fromStdString(text.empty() ? std::string(kUnavailable) : text);
}

} // namespace

StatisticsPage::StatisticsPage(AppState& state, PageHost&, QWidget* parent)
    : QWidget(parent)
    , state_(state)
{
    QGroupBox* page = PageFrame(this, rid::IDD_STATISTICS, QStringLiteral(" Backup Statistics "), 6);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(8);

    // Totals and the last backup run, each a column of caption/value rows.
    auto* totals = new QGroupBox(QStringLiteral(" Backups "), page);
    auto* totalsGrid = new QGridLayout(totals);
    int captionWidth = 0;
    connections_ = AddRow(totalsGrid, 0, 0, "Total number of Connections:", rid::IDC_STAT_CONNECTIONS, totals,
                          &captionWidth);
    backups_ = AddRow(totalsGrid, 1, 0, "Total number of Backups:", rid::IDC_STAT_BACKUPS, totals, &captionWidth);
    schedules_ = AddRow(totalsGrid, 2, 0, "Total number of Backup Schedules:", rid::IDC_STAT_SCHEDULES, totals,
                        &captionWidth);
    auto* execution = new QGroupBox(QStringLiteral(" Execution "), page);
    auto* executionGrid = new QGridLayout(execution);
    lastName_ = AddRow(executionGrid, 0, 0, "Last Backup Name:", rid::IDC_STAT_LAST_NAME, execution, &captionWidth);
    lastTime_ = AddRow(executionGrid, 1, 0, "Date and Time of Last Backup:", rid::IDC_STAT_LAST_DT, execution,
                       &captionWidth);
    lastType_ = AddRow(executionGrid, 2, 0, "Last Backup Type:", rid::IDC_STAT_LAST_TYPE, execution, &captionWidth);
    lastFailure_ = AddRow(executionGrid, 3, 0, "Last Failure:", rid::IDC_STAT_LAST_FAILURE, execution, &captionWidth);
    // A long reason takes a second line rather than widening the page.
    lastFailure_->setWordWrap(true);
    for (QGridLayout* grid : {totalsGrid, executionGrid}) {
        grid->setContentsMargins(12, 6, 12, 8);
        grid->setHorizontalSpacing(12);
        grid->setVerticalSpacing(3);
        // Both groups' values start at the same distance from the left.
        grid->setColumnMinimumWidth(0, captionWidth);
        grid->setColumnStretch(1, 1);
    }
    layout->addWidget(totals);
    layout->addWidget(execution);

    // The history log.
    auto* history = new QGroupBox(QStringLiteral(" History Log "), page);
    auto* historyLayout = new QVBoxLayout(history);
    historyLayout->setSpacing(6);
    clockText_ = new ValueLabel(QStringLiteral("Current Time"), history);
    clockText_->setObjectName(ControlName(rid::IDC_STAT_CLOCK));
    clockText_->setAlignment(Qt::AlignCenter);
    QFont clockFont = clockText_->font();
    clockFont.setBold(true);
    clockText_->setFont(clockFont);
    clockText_->setStyleSheet(QStringLiteral("color: rgb(31, 95, 154);"));
    historyLayout->addWidget(clockText_);
    log_ = new QPlainTextEdit(history);
    log_->setObjectName(ControlName(rid::IDC_STAT_LOG));
    log_->setAccessibleName(QStringLiteral("History Log"));
    log_->setReadOnly(true);
    log_->setLineWrapMode(QPlainTextEdit::NoWrap);
    log_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    historyLayout->addWidget(log_, 1);

    auto* footer = new QHBoxLayout;
    auto* footerGrid = new QGridLayout;
    footerGrid->setHorizontalSpacing(6);
    footerGrid->setVerticalSpacing(2);
    reporting_ = AddRow(footerGrid, 0, 0, "Reporting:", rid::IDC_STAT_REPORTING, history);
    clearOnStart_ = AddRow(footerGrid, 1, 0, "Clear on Startup:", rid::IDC_STAT_CLEAR_ON_START, history);
    direction_ = AddRow(footerGrid, 0, 3, "Direction:", rid::IDC_STAT_DIRECTION, history);
    timestamps_ = AddRow(footerGrid, 1, 3, "Timestamps:", rid::IDC_STAT_TIMESTAMPS, history);
    footerGrid->setColumnMinimumWidth(2, 24);
    footer->addLayout(footerGrid);
    footer->addStretch();
    clearLog_ = new QPushButton(QStringLiteral("Clear Log"), history);
    clearLog_->setObjectName(ControlName(rid::IDC_STAT_CLEAR_LOG));
    clearLog_->setMinimumSize(100, 30);
    clearLog_->setAutoDefault(false);
    footer->addWidget(clearLog_, 0, Qt::AlignBottom);
    historyLayout->addLayout(footer);
    layout->addWidget(history, 1);

    clock_ = new QTimer(this);
    clock_->setObjectName(QStringLiteral("TIMER_6007"));
    refresh_ = new QTimer(this);
    refresh_->setObjectName(QStringLiteral("TIMER_6008"));
    refresh_->setSingleShot(true);
    connect(clock_, &QTimer::timeout, this, &StatisticsPage::ClockTick);
    connect(refresh_, &QTimer::timeout, this, &StatisticsPage::DelayedRefresh);
    connect(clearLog_, &QPushButton::clicked, this, &StatisticsPage::OnClearLog);

    state_.log.logChanged = true;
    FillTexts();
    state_.log.Load();
    Render();
    const Settings& settings = state_.settings();
    reporting_->setText(settings.reporting == ReportingState::Verbose ? QStringLiteral("Verbose")
                                                                      : QStringLiteral("Standard"));
    clearOnStart_->setText(settings.logAtStart ? QStringLiteral("Enabled") : QStringLiteral("Disabled"));
    direction_->setText(settings.direction == LogDirection::Ascend ? QStringLiteral("Ascending")
                                                                   : QStringLiteral("Descending"));
    timestamps_->setText(settings.showTimestamp ? QStringLiteral("Enabled") : QStringLiteral("Disabled"));
    // Once per run, after the log has been loaded: appending earlier would
    // overwrite the previous run's entries in the file.
    if (!state_.systemStartLogged) {
        state_.log.AppendEntry(true, "Vorda System Started");
        Render();
        state_.systemStartLogged = true;
    }
    clock_->start(1);
}

void StatisticsPage::FillTexts()
{
    connections_->setText(QString::number(state_.totals.connections));
    backups_->setText(QString::number(state_.totals.backups));
    schedules_->setText(QString::number(state_.totals.schedules));
    const LastRunFacts last = state_.nameLists.LastRun();
    lastName_->setText(OrUnavailable(last.name));
    lastTime_->setText(OrUnavailable(last.startTime));
    lastType_->setText(OrUnavailable(last.kind));
    const LastFailure failure = LoadLastFailure(state_.store);
    lastFailure_->setText(failure.name.empty()
                              ? QStringLiteral("None")
                              : QString::fromStdString(failure.name + " - " + failure.time + " - " + failure.reason));
}

void StatisticsPage::Render()
{
    QString text = QString::fromStdString(state_.log.RenderText(state_.settings()));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    log_->setPlainText(text);
    // The first line (the newest entry when descending) at the top.
    QTextCursor start = log_->textCursor();
    start.movePosition(QTextCursor::Start);
    log_->setTextCursor(start);
    log_->ensureCursorVisible();
    log_->horizontalScrollBar()->setValue(0);
}

void StatisticsPage::ClockTick()
{
    clock_->start(kClockMs);
    state_.log.CurrentTimeTexts();
    clockText_->setText(QString::fromStdString(state_.log.LongTimeText()));
    if (state_.delayedRefreshRequested) {
        refresh_->start(kDelayedRefreshMs);
        state_.delayedRefreshRequested = false;
    }
    // A change of the log is rendered on two consecutive ticks.
    if (secondRenderPending_) {
        Render();
        secondRenderPending_ = false;
        state_.log.logChanged = false;
    } else if (state_.log.logChanged) {
        Render();
        secondRenderPending_ = true;
        state_.log.logChanged = false;
    }
    if (state_.settings().firstEntry && state_.quickStartPending) {
        state_.quickStartPending = false;
        // A run that started in the tray never raises the screen.
        if (!state_.startedMinimised)
            RunWhileOpen(this, [this] { ShowQuickStartScreen(state_, false, window()); });
    }
}

void StatisticsPage::DelayedRefresh()
{
    refresh_->stop();
    state_.log.logChanged = true;
}

void StatisticsPage::OnClearLog()
{
    int answer = 0;
    RunWhileOpen(this, [&answer] {
        answer = ShowMessage(MessageKind::YesNo,
                             "Are you sure you wish to delete the History Log?\r\n\r\nThis action can not be "
                             "reversed and all log information will be lost.",
                             "Yes", "No");
    });
    if (answer != 1)
        return;
    state_.log.Clear();
    state_.log.AppendEntry(false, "Backup History Log Cleared by User");
    Render();
}
