#include "app/CVordaDlg.h"

#include "app/Messages.h"
#include "app/StartupCore.h"
#include "resources/ResourceIds.h"

#include <QTimer>

CVordaDlg::CVordaDlg(const std::string& dataDir, QWidget* parent)
    : QWidget(parent)
    , state_(std::make_unique<AppState>(dataDir))
{
    setObjectName("IDD_102");
    setWindowTitle(QStringLiteral("Vorda - Quendal System - Version: 2.1.2.4"));
    scheduleTimer_ = new QTimer(this);
    scheduleTimer_->setObjectName("TIMER_6000");
    scheduleTimer_->setSingleShot(true);
    connect(scheduleTimer_, &QTimer::timeout, this, &CVordaDlg::OnScheduleTimer);
    SetMessagesEnabledFlag(&state_->messagesEnabled);
    OnInitDialog();
}

CVordaDlg::~CVordaDlg()
{
    ShutDown(*state_);
    SetMessagesEnabledFlag(nullptr);
}

void CVordaDlg::OnInitDialog()
{
    resize(860, 620);
    StartUpBeforePages(*state_);
    ArmScheduleTimer();
    StartUpAfterPages(*state_);
}

void CVordaDlg::ArmScheduleTimer()
{
    scheduleTimer_->start(QuarterHourDelayMs(state_->clock()));
}

void CVordaDlg::OnScheduleTimer()
{
    scheduleTimer_->stop();
    emit scheduleTick();
    ArmScheduleTimer();
}
