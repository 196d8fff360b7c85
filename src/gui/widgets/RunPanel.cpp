#include "gui/widgets/RunPanel.h"

#include "gui/app/Messages.h"
#include "gui/widgets/LabeledValue.h"
#include "gui/widgets/PasswordPrompt.h"
#include "resources/ResourceIds.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>

namespace {

const char* const kNotAvailable = "Not Available";

QProgressBar* MakeBar(const QString& caption, int id, int labelId, QGroupBox* group, QGridLayout* grid, int row)
{
    auto* label = new QLabel(caption, group);
    if (labelId != 0)
        label->setObjectName(ControlName(labelId));
    auto* bar = new QProgressBar(group);
    bar->setObjectName(ControlName(id));
    bar->setAccessibleName(caption);
    bar->setRange(0, 1);
    bar->setValue(0);
    bar->setTextVisible(false);
    bar->setMinimumHeight(16);
    label->setBuddy(bar);
    grid->addWidget(label, row, 0, 1, 4);
    grid->addWidget(bar, row + 1, 0, 1, 4);
    return bar;
}

} // namespace

RunPanel::RunPanel(const QString& caption, const RunPanelIds& ids, QWidget* parent)
    : QGroupBox(caption, parent)
{
    setAccessibleName(caption.trimmed());
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(12, 6, 12, 8);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(3);

    // The name and the status get a row each: they can be long. The other
    // four share two rows.
    struct Place {
        RunField field;
        const char* caption;
        int id;
        int row;
        int column;
        int span;
    };
    const Place places[] = {
        {RunField::SiteBackup, "Site Backup:", ids.siteBackup, 0, 0, 3},
        {RunField::RunStatus, "Run Status:", ids.runStatus, 1, 0, 3},
        {RunField::RunMode, "Run Mode:", ids.runMode, 2, 0, 1},
        {RunField::ElapsedTime, "Elapsed Time:", ids.elapsedTime, 2, 2, 1},
        {RunField::TableMembers, "Table Members:", ids.tableMembers, 3, 0, 1},
        {RunField::CurrentMember, "Current Member:", ids.currentMember, 3, 2, 1},
    };
    for (const Place& place : places) {
        const LabeledValue pair = MakeLabeledValue(QString::fromLatin1(place.caption), place.id, this,
                                                   QString::fromLatin1(kNotAvailable));
        QFont bold = pair.value->font();
        bold.setBold(true);
        pair.value->setFont(bold);
        pair.value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        // A long text never widens the panel; it is cut at the panel's edge.
        pair.value->setMinimumWidth(40);
        pair.value->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        grid->addWidget(pair.caption, place.row, place.column);
        grid->addWidget(pair.value, place.row, place.column + 1, 1, place.span);
        values_[static_cast<int>(place.field)] = pair.value;
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setRowMinimumHeight(4, 4);
    tableBar_ = MakeBar(QStringLiteral("Current Table"), ids.tableBar, ids.tableBarLabel, this, grid, 5);
    overallBar_ = MakeBar(QStringLiteral("Overall Progress"), ids.overallBar, ids.overallBarLabel, this, grid, 7);
}

RunPanel::~RunPanel()
{
    SetWaitCursor(false);
}

ValueLabel* RunPanel::Value(RunField field) const
{
    return values_[static_cast<int>(field)];
}

QProgressBar* RunPanel::Bar(RunBar bar) const
{
    return bar == RunBar::CurrentTable ? tableBar_ : overallBar_;
}

void RunPanel::SetText(RunField field, const std::string& text)
{
    ValueLabel* value = Value(field);
    const QString shown = QString::fromStdString(text);
    value->setText(shown);
    value->setToolTip(shown);
}

void RunPanel::SetBarRange(RunBar bar, int maximum)
{
    QProgressBar* b = Bar(bar);
    // A range of 0..0 would make the bar a busy indicator.
    b->setRange(0, maximum > 0 ? maximum : 1);
    b->setValue(0);
}

void RunPanel::StepBar(RunBar bar)
{
    QProgressBar* b = Bar(bar);
    if (b->value() < b->maximum())
        b->setValue(b->value() + 1);
}

int RunPanel::ShowMessage(MessageKind kind, const std::string& text)
{
    const bool question = kind == MessageKind::YesNo;
    return ::ShowMessage(kind, text, question ? "Yes" : "", question ? "No" : "");
}

void RunPanel::Pump()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void RunPanel::SetWaitCursor(bool on)
{
    if (on == waitCursor_)
        return;
    waitCursor_ = on;
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void RunPanel::RunStarted()
{
    if (onStarted_)
        onStarted_();
}

std::optional<std::string> RunPanel::AskPassword(const std::string& connectionName)
{
    return ::AskPassword(window(), connectionName);
}
