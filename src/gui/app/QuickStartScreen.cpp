#include "gui/app/QuickStartScreen.h"

#include "gui/app/Messages.h"

#include "core/state/AppState.h"
#include "gui/app/Art.h"
#include "resources/ResourceIds.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

bool g_hookOn = false;
int g_count = 0;
bool g_lastFromConfiguration = false;

} // namespace

QuickStartScreen::QuickStartScreen(AppState& state, QWidget* parent)
    : QDialog(parent)
    , state_(state)
{
    setObjectName(QStringLiteral("IDD_172"));
    setWindowTitle(QStringLiteral("Vorda - MySQL Backup System Quick Start Screen"));
    setWindowIcon(ProgramIcon());
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    auto* picture = new QLabel(this);
    picture->setObjectName(ControlName(rid::IDC_QUICK_START_PICTURE));
    picture->setPixmap(Bitmap(rid::IDB_QUICK_START));
    picture->setFixedSize(600, 500);
    picture->setAccessibleName(QStringLiteral("Welcome to Vorda: your first backup in three steps"));
    picture->setAccessibleDescription(QStringLiteral(
        "1. Create a New Connection: tell Vorda how to reach your MySQL or MariaDB server: host, port, database, "
        "user name and password. Test the connection, then save it. "
        "2. Create a New Database Backup: name the backup, choose the connection, connect to the site and pick "
        "the tables to copy. Add schedules if it should run by itself. "
        "3. Execute a Backup: double-click your backup in the list and confirm. Vorda copies every chosen table "
        "into its backup file and records the result in the history log."));
    layout->addWidget(picture);

    auto* row = new QHBoxLayout;
    check_ = new QCheckBox(
        QStringLiteral("Show this screen at system start - may be turned back on in the configuration area "), this);
    check_->setObjectName(ControlName(rid::IDC_QUICK_START_CHECK));
    check_->setChecked(state_.settings().firstEntry);
    check_->setEnabled(state_.quickStartCheckEnabled);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(ControlName(rid::IDCANCEL));
    cancel->setDefault(true);
    // The check box on a row of its own, "Cancel" at the right below it: the
    // long text beside the button would make the screen wider than its
    // picture and leave a strip beside the banner.
    layout->addWidget(check_);
    row->addStretch(1);
    row->addWidget(cancel);
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // Each change is stored at once; closing the screen does not undo it.
    connect(check_, &QCheckBox::toggled, this, [this](bool on) { StoredOrSaid("Setting", state_.config.WriteFirstEntry(on)); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void ShowQuickStartScreen(AppState& state, bool fromConfigurationPage, QWidget* parent)
{
    state.quickStartCheckEnabled = !fromConfigurationPage;
    if (g_hookOn) {
        ++g_count;
        g_lastFromConfiguration = fromConfigurationPage;
    } else {
        QuickStartScreen screen(state, parent);
        screen.exec();
    }
    state.quickStartCheckEnabled = true;
}

namespace QuickStartHook {

void Enable(bool on)
{
    g_hookOn = on;
}

int Count()
{
    return g_count;
}

bool LastFromConfigurationPage()
{
    return g_lastFromConfiguration;
}

void Reset()
{
    g_count = 0;
    g_lastFromConfiguration = false;
}

} // namespace QuickStartHook
