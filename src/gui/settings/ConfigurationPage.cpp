#include "gui/settings/ConfigurationPage.h"

#include "core/state/AppState.h"
#include "core/state/Autostart.h"
#include "gui/app/QuickStartScreen.h"
#include "gui/app/Help.h"
#include "gui/app/Messages.h"
#include "gui/app/PageTable.h"
#include "gui/widgets/TextFit.h"
#include "resources/ResourceIds.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

const char* const kResetQuestion = "Are you sure?\r\rYour configuration will be set back to the default settings.";

// Width for the texts of the controls: the work area less the page's frames,
// the scroll bar and the check mark.
constexpr int kTextWidth = 540;
constexpr int kIndent = 22;

QVBoxLayout* GroupLayout(QGroupBox* group)
{
    auto* layout = new QVBoxLayout(group);
    layout->setContentsMargins(8, 2, 6, 4);
    layout->setSpacing(1);
    return layout;
}

QGroupBox* MakeGroup(const QString& caption, QWidget* parent)
{
    auto* group = new QGroupBox(caption, parent);
    group->setAccessibleName(caption.trimmed());
    return group;
}

} // namespace

void ConfigurationPage::FitText(QAbstractButton* control, int width)
{
    const QString text = control->accessibleName().isEmpty() ? control->text() : control->accessibleName();
    control->setAccessibleName(text);
    control->setText(FitToWidth(text, control->font(), width));
}

void ConfigurationPage::AddControls(QGroupBox* group, QBoxLayout* layout, int textWidth,
                                             std::initializer_list<ControlSpec> controls)
{
    for (const ControlSpec& entry : controls) {
        QAbstractButton* control = entry.radio ? static_cast<QAbstractButton*>(new QRadioButton(group))
                                              : static_cast<QAbstractButton*>(new QCheckBox(group));
        control->setObjectName(ControlName(entry.id));
        control->setAccessibleName(QString::fromLatin1(entry.text));
        // Long texts take two lines rather than pushing the page wider.
        FitText(control, textWidth - (entry.indented ? kIndent : 0));
        controls_[entry.id] = control;
        if (!entry.indented) {
            layout->addWidget(control);
            continue;
        }
        auto* row = new QHBoxLayout;
        row->addSpacing(kIndent);
        row->addWidget(control);
        layout->addLayout(row);
    }
}

QAbstractButton* ConfigurationPage::Control(int id) const
{
    const auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

ConfigurationPage::ConfigurationPage(AppState& state, PageHost& host, QWidget* parent)
    : QWidget(parent)
    , state_(state)
    , host_(host)
{
    QGroupBox* page = PageFrame(this, rid::IDD_CONFIGURATION, QStringLiteral(" Configuration "), 6);
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(4, 4, 4, 8);
    pageLayout->setSpacing(6);
    // The settings scroll when the window's font makes them taller than the
    // work area; the buttons below stay in view.
    auto* scroll = new QScrollArea(page);
    scroll->setAccessibleName(QStringLiteral("Settings"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* frame = new QWidget(scroll);
    frame->setObjectName(QStringLiteral("ConfigurationSettings"));
    frame->setAutoFillBackground(true);
    QPalette white = frame->palette();
    white.setColor(QPalette::Window, Qt::white);
    frame->setPalette(white);
    scroll->viewport()->setPalette(white);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(2, 0, 2, 0);
    layout->setSpacing(6);

    QGroupBox* operational = MakeGroup(QStringLiteral(" Operational Features "), frame);
    QVBoxLayout* op = GroupLayout(operational);
    AddControls(
        operational, op, kTextWidth,
        {{rid::IDC_CONF_START_MIN, "Start Vorda Minimized - Vorda will start in it's minimized system tray state"},
         {rid::IDC_CONF_MIN_CLOSE, "Vorda Minimizes instead of Exiting on Close - Assures Scheduled Backups Execute"},
         {rid::IDC_CONF_FIRST_ENTRY, "Show Quick Start Screen on Backup System Startup"}});
    auto* lastRow = new QHBoxLayout;
    AddControls(operational, lastRow, kTextWidth, {{rid::IDC_CONF_AUTOSTART, "Start Vorda when I log in"}});
    lastRow->addStretch();
    QPushButton* quickNow = PageButton(QStringLiteral("Show Quick Start Screen Now"), rid::IDC_CONF_QUICK_START_NOW,
                                       operational, 28);
    lastRow->addWidget(quickNow);
    op->addLayout(lastRow);
    layout->addWidget(operational);

    QGroupBox* scheduled = MakeGroup(QStringLiteral(" Scheduled Backups "), frame);
    AddControls(scheduled, GroupLayout(scheduled), kTextWidth,
                {{rid::IDC_CONF_CATCH_UP, "Run scheduled backups missed while Vorda was not running"},
                 {rid::IDC_CONF_NOTIFY_FAILURE, "Notify me when a scheduled backup fails"}});
    layout->addWidget(scheduled);

    // How many older backup files each backup keeps beside its current one,
    // and which form new files take.
    QGroupBox* files = MakeGroup(QStringLiteral(" Backup Files "), frame);
    auto* filesRow = new QHBoxLayout;
    auto* keepCaption = new QLabel(QStringLiteral("Keep older backup files:"), files);
    keepCopies_ = new QSpinBox(files);
    keepCopies_->setObjectName(ControlName(rid::IDC_CONF_KEEP_COPIES));
    keepCopies_->setAccessibleName(QStringLiteral("Keep older backup files"));
    keepCopies_->setRange(0, kMaxKeepCopies);
    keepCaption->setBuddy(keepCopies_);
    filesRow->addWidget(keepCaption);
    filesRow->addWidget(keepCopies_);
    filesRow->addSpacing(24);
    AddControls(files, filesRow, kTextWidth / 2, {{rid::IDC_CONF_COMPRESS, "Compress backup files"}});
    filesRow->addStretch();
    QVBoxLayout* filesLayout = GroupLayout(files);
    filesLayout->addLayout(filesRow);
    auto* filesNote = new QLabel(QStringLiteral("Each completed backup keeps the file it replaces, named by that "
                                                "file's backup time; 0 keeps none. Compressed files (.tbk.zst) "
                                                "take about a fifth of the space; older files of either form "
                                                "stay readable"),
                                 files);
    filesNote->setWordWrap(true);
    filesLayout->addWidget(filesNote);
    layout->addWidget(files);

    // The history log, with its reporting choices in a group of their own.
    QGroupBox* history = MakeGroup(QStringLiteral(" History Log "), frame);
    QGroupBox* reporting = MakeGroup(QStringLiteral(" Reporting "), history);
    AddControls(reporting, GroupLayout(reporting), kTextWidth - 24,
                {{rid::IDC_CONF_STANDARD, "Standard - Displays basic information", true},
                 {rid::IDC_CONF_VERBOSE, "Verbose - Displays all information", true},
                 {rid::IDC_CONF_TIMESTAMP, "Timestamp - Log displays Date and Time"},
                 {rid::IDC_CONF_ASCENDING, "Ascending - Displays in forward chronological order", true},
                 {rid::IDC_CONF_DESCENDING, "Descending - Displays in reverse chronological order", true},
                 {rid::IDC_CONF_DOUBLE_SPACE, "Double Space - adds an additional space between lines"}});
    QVBoxLayout* hist = GroupLayout(history);
    hist->addWidget(reporting);
    AddControls(
        history, hist, kTextWidth,
        {{rid::IDC_CONF_CLEAR_LOG,
          "Clear Log on Startup - System will start a new log every time you run the software"}});
    auto* note = new QLabel(QStringLiteral("This change will not be seen until the next time the software is started"),
                            history);
    QFont italic = note->font();
    italic.setItalic(true);
    note->setFont(italic);
    note->setContentsMargins(kIndent, 0, 0, 0);
    hist->addWidget(note);
    layout->addWidget(history);

    QGroupBox* appearance = MakeGroup(QStringLiteral(" Appearance "), frame);
    AddControls(appearance, GroupLayout(appearance), kTextWidth,
                {{rid::IDC_CONF_SHOW_IMAGE, "Display Menu Image - Unchecking will remove the image in the menu area"},
                 {rid::IDC_CONF_COLOURS,
                  "Backup List and Restore List have different colored text to help tell them apart"}});
    layout->addWidget(appearance);

    // The safe copies belong to Absolute: indented under it.
    QGroupBox* restore = MakeGroup(QStringLiteral(" Restore Options "), frame);
    AddControls(restore, GroupLayout(restore), kTextWidth,
                {{rid::IDC_CONF_ABSOLUTE,
                  "Absolute Restore - restore will overwrite existing tables directly - *Note: all current table data "
                  "will be lost",
                  true},
                 {rid::IDC_CONF_SAFE_COPY,
                  "Create safe copies of your tables  prior to overwrite - copies will not be deleted. Prefix: "
                  "SAFE_COPY_",
                  false, true},
                 {rid::IDC_CONF_INDIRECT,
                  "Indirect Restore - new tables will be created - old tables will not be altered - Prefix: VORDA_ ",
                  true}});
    layout->addWidget(restore);
    layout->addStretch();
    pageLayout->addWidget(scroll, 1);
    // Only now, with the texts fitted: the scroll area takes the width of its
    // content as it is when set.
    scroll->setWidget(frame);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(6, 0, 6, 0);
    QPushButton* tutorials = PageButton(QStringLiteral("View Tutorials"), rid::IDC_CONF_TUTORIALS, page);
    QPushButton* updates = PageButton(QStringLiteral("Check for Updates"), rid::IDC_CONF_UPDATES, page);
    QPushButton* defaults = PageButton(QStringLiteral("Restore Default Settings"), rid::IDC_CONF_DEFAULTS, page);
    buttons->addWidget(tutorials);
    buttons->addWidget(updates);
    buttons->addStretch();
    buttons->addWidget(defaults);
    pageLayout->addLayout(buttons);

    // The radio buttons of a choice exclude each other.
    for (const auto& pair : {std::pair {rid::IDC_CONF_STANDARD, rid::IDC_CONF_VERBOSE},
                             std::pair {rid::IDC_CONF_ASCENDING, rid::IDC_CONF_DESCENDING},
                             std::pair {rid::IDC_CONF_ABSOLUTE, rid::IDC_CONF_INDIRECT}}) {
        auto* group = new QButtonGroup(this);
        group->addButton(Control(pair.first));
        group->addButton(Control(pair.second));
    }

    // The page shows what is stored; the in-memory settings go back to it.
    state_.config.LoadConfiguration();
    ShowSettings();

    Configuration& config = state_.config;
    const auto onCheck = [this](int id, auto handler) {
        connect(static_cast<QCheckBox*>(Control(id)), &QCheckBox::clicked, this, handler);
    };
    onCheck(rid::IDC_CONF_START_MIN, [&config](bool on) { config.WriteStartMin(on); });
    onCheck(rid::IDC_CONF_MIN_CLOSE, [&config](bool on) { config.WriteMinClose(on); });
    onCheck(rid::IDC_CONF_FIRST_ENTRY, [this, &config](bool on) {
        // Not raised later in this run, whatever the new value.
        state_.quickStartPending = false;
        config.WriteFirstEntry(on);
    });
    onCheck(rid::IDC_CONF_AUTOSTART, [this](bool on) { OnAutostartClicked(on); });
    onCheck(rid::IDC_CONF_CATCH_UP, [&config](bool on) { config.WriteCatchUp(on); });
    onCheck(rid::IDC_CONF_TIMESTAMP, [&config](bool on) { config.WriteShowTimestamp(on); });
    onCheck(rid::IDC_CONF_DOUBLE_SPACE, [&config](bool on) { config.WriteDoubleSpace(on); });
    onCheck(rid::IDC_CONF_CLEAR_LOG, [&config](bool on) { config.WriteLogAtStart(on); });
    onCheck(rid::IDC_CONF_SHOW_IMAGE, [this, &config](bool on) {
        config.WriteShowImage(on);
        // The menu is rebuilt with or without its picture; this page stays.
        state_.statisticsOnMenuCreate = false;
        host_.ReloadMenu();
    });
    onCheck(rid::IDC_CONF_COLOURS, [&config](bool on) { config.WriteRestoreColor(on); });
    onCheck(rid::IDC_CONF_SAFE_COPY, [&config](bool on) { config.WriteSafeCopy(on); });
    onCheck(rid::IDC_CONF_NOTIFY_FAILURE, [&config](bool on) { config.WriteNotifyFailure(on); });
    onCheck(rid::IDC_CONF_COMPRESS, [&config](bool on) { config.WriteCompress(on); });
    connect(keepCopies_, &QSpinBox::valueChanged, this, [&config](int count) { config.WriteKeepCopies(count); });

    const auto onRadio = [this](int id, auto handler) {
        connect(Control(id), &QAbstractButton::clicked, this, handler);
    };
    onRadio(rid::IDC_CONF_STANDARD, [&config] { config.WriteReportingState(ReportingState::Standard); });
    onRadio(rid::IDC_CONF_VERBOSE, [&config] { config.WriteReportingState(ReportingState::Verbose); });
    onRadio(rid::IDC_CONF_ASCENDING, [&config] { config.WriteDirection(LogDirection::Ascend); });
    onRadio(rid::IDC_CONF_DESCENDING, [&config] { config.WriteDirection(LogDirection::Descend); });
    onRadio(rid::IDC_CONF_ABSOLUTE, [this, &config] {
        config.WriteRestoreMode(RestoreMode::Absolute);
        Control(rid::IDC_CONF_SAFE_COPY)->setEnabled(true);
    });
    onRadio(rid::IDC_CONF_INDIRECT, [this, &config] {
        config.WriteRestoreMode(RestoreMode::Indirect);
        // Greyed, keeping its tick.
        Control(rid::IDC_CONF_SAFE_COPY)->setEnabled(false);
    });

    connect(quickNow, &QPushButton::clicked, this, &ConfigurationPage::OnShowQuickStartNow);
    connect(defaults, &QPushButton::clicked, this, &ConfigurationPage::OnRestoreDefaults);
    for (const auto& [button, section] : {std::pair {tutorials, help::kTutorials}, std::pair {updates, help::kUpdates}})
        connect(button, &QPushButton::clicked, this,
                [this, section] { RunWhileOpen(this, [section] { OpenHelpPage(section); }); });
}

void ConfigurationPage::ShowSettings()
{
    const Settings& s = state_.settings();
    const std::pair<int, bool> ticks[] = {
        {rid::IDC_CONF_START_MIN, s.startMin},
        {rid::IDC_CONF_MIN_CLOSE, s.minClose},
        {rid::IDC_CONF_FIRST_ENTRY, s.firstEntry},
        {rid::IDC_CONF_AUTOSTART, autostart::Enabled()},
        {rid::IDC_CONF_CATCH_UP, s.catchUp},
        {rid::IDC_CONF_STANDARD, s.reporting == ReportingState::Standard},
        {rid::IDC_CONF_VERBOSE, s.reporting == ReportingState::Verbose},
        {rid::IDC_CONF_TIMESTAMP, s.showTimestamp},
        {rid::IDC_CONF_ASCENDING, s.direction == LogDirection::Ascend},
        {rid::IDC_CONF_DESCENDING, s.direction == LogDirection::Descend},
        {rid::IDC_CONF_DOUBLE_SPACE, s.doubleSpace},
        {rid::IDC_CONF_CLEAR_LOG, s.logAtStart},
        {rid::IDC_CONF_SHOW_IMAGE, s.showImage},
        {rid::IDC_CONF_COLOURS, s.restoreColor},
        {rid::IDC_CONF_ABSOLUTE, s.restoreMode == RestoreMode::Absolute},
        {rid::IDC_CONF_SAFE_COPY, s.safeCopy},
        {rid::IDC_CONF_INDIRECT, s.restoreMode == RestoreMode::Indirect},
        {rid::IDC_CONF_NOTIFY_FAILURE, s.notifyFailure},
        {rid::IDC_CONF_COMPRESS, s.compress},
    };
    for (const auto& [id, on] : ticks)
        Control(id)->setChecked(on);
    // Showing the stored value stores nothing.
    const QSignalBlocker quiet(keepCopies_);
    keepCopies_->setValue(s.keepCopies);
    Control(rid::IDC_CONF_SAFE_COPY)->setEnabled(s.restoreMode == RestoreMode::Absolute);
}

void ConfigurationPage::OnShowQuickStartNow()
{
    RunWhileOpen(this, [this] { ShowQuickStartScreen(state_, true, window()); });
}

void ConfigurationPage::OnRestoreDefaults()
{
    int answer = 0;
    const bool open
        = RunWhileOpen(this, [&answer] { answer = ShowMessage(MessageKind::YesNo, kResetQuestion, "Yes", "No"); });
    if (!open || answer != 1)
        return;
    state_.config.ResetConfiguration();
    state_.log.AppendEntry(true, "Configuration Default Settings Reset");
    // A fresh page shows the defaults.
    host_.ShowConfiguration();
}

void ConfigurationPage::OnAutostartClicked(bool checked)
{
    const bool done = checked ? autostart::Enable() : autostart::Disable();
    // Ticked only while the entry is there.
    Control(rid::IDC_CONF_AUTOSTART)->setChecked(autostart::Enabled());
    if (!done)
        RunWhileOpen(this, [] {
            ShowMessage(MessageKind::Error, "Vorda could not change its autostart entry:\r\n\r\n"
                                                + (autostart::EntryPath().empty() ? std::string("(no home folder)")
                                                                                  : autostart::EntryPath()));
        });
}
