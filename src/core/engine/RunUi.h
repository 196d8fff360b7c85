#pragma once

#include "core/state/MessageKind.h"

#include <optional>
#include <string>

// The execution panel a long run reports to: the backup run's Execute page,
// the restore run's Database Backups page, or nothing at all (a scheduled run,
// the benchmark). The same six value texts and two bars serve both pages.
enum class RunField {
    SiteBackup,    // the backup name
    RunMode,       // "Manual", "Automatic", "Restore Terminated"
    RunStatus,     // the run's status text
    ElapsedTime,   // "HH:MM:SS"
    TableMembers,  // "Waiting", "<n> rows", "All Copied"
    CurrentMember, // page offset or inserted-row counter
};

enum class RunBar { CurrentTable, Overall };

// The TableMembers text once a run has ended.
inline constexpr const char* kAllCopiedText = "All Copied";

class RunUi {
public:
    virtual ~RunUi() = default;

    virtual void SetText(RunField field, const std::string& text) = 0;
    // Sets a bar's range to 0..maximum with step 1 and its position to 0.
    virtual void SetBarRange(RunBar bar, int maximum) = 0;
    // Advances a bar by one step.
    virtual void StepBar(RunBar bar) = 0;
    // Shows the one message box (MessageKind) and returns its answer.
    virtual int ShowMessage(MessageKind kind, const std::string& text) = 0;
    // Lets the window handle every pending event (clicks, timers, tray).
    virtual void Pump() = 0;
    virtual void SetWaitCursor(bool on) = 0;
    // Called once the run has taken its running flag, before it connects.
    // The page that started the run clears currentPageId here, so that a page
    // request during or after the run (Cancel, "execute another") rebuilds
    // the page. A run never touches the page host's state itself.
    virtual void RunStarted() {}
    // A table's rows begin: a backup reads them, a restore sends them. The
    // window shows this through the status texts; a terminal starts a line.
    virtual void TableStarted(const std::string& table) {}
    // A restore sends the rows of `table` (the last one started) on its
    // second connection from now on, and goes on with the next table: the
    // table is not done yet. The window has nothing to change for it; a
    // terminal drops the table's line.
    virtual void TableGoesBeside(const std::string& table) {}
    // ... and the second connection has sent all `rows` of it.
    virtual void TableDoneBeside(const std::string& table, long long rows) {}
    // Asks for the password of a connection whose password was not saved:
    // the typed password (used for this connect only, never stored), or
    // nullopt when the user cancelled or nobody can be asked (a scheduled
    // run, the window in the tray).
    virtual std::optional<std::string> AskPassword(const std::string& connectionName) { return std::nullopt; }
};

// A run that shows nothing: every question is answered No.
class SilentRunUi : public RunUi {
public:
    void SetText(RunField, const std::string&) override {}
    void SetBarRange(RunBar, int) override {}
    void StepBar(RunBar) override {}
    int ShowMessage(MessageKind, const std::string&) override { return 0; }
    void Pump() override {}
    void SetWaitCursor(bool) override {}
};
