#pragma once

#include "core/history/HistoryLog.h"
#include "core/store/SettingsStore.h"
#include "core/store/Configuration.h"
#include "core/store/NameLists.h"

#include <string>

// What an editor page opens for: a new definition, or the existing one named
// by selectedName. None stands for anything else; an editor refuses it with
// its "Invalid ... Entry." error.
enum class EditorMode { None, New, Edit };

// File locations fixed at start-up.
struct AppPaths {
    std::string dataDir; // ends with '/'
    std::string dbPath;  // dataDir + "vorda.db"
    std::string logPath; // dataDir + "vorda_history.log"

    static AppPaths ForDataDir(std::string dataDir);
};

// Everything the program shares between its window, its pages and its runs.
// One instance is owned by the main window and handed to pages by reference.
class AppState {
public:
    explicit AppState(const std::string& dataDir, Clock clock = SystemClock());
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;

    const AppPaths paths;
    const Clock clock;
    SettingsStore store;
    Totals totals;
    Configuration config;
    NameLists nameLists;
    HistoryLog log;

    Settings& settings() { return config.settings; }

    // Runs. A backup run (manual or scheduled) and a restore never overlap.
    // A run sets its running flag when it starts and clears it only once it
    // has returned, so no run can start inside another one's event pump.
    // Stopping a run is a request of its own: the Cancel buttons, the menu
    // page's "terminate?" question and the exit path set the cancel request,
    // which the run looks at at its check points; a run clears it as it starts.
    bool backupRunning = false;
    bool restoreRunning = false;
    bool backupCancelRequested = false;
    bool restoreCancelRequested = false;
    bool sequenceBusy = false;
    // Exit and the "terminate?" questions stop a scheduled sequence whole:
    // the backups it has not run yet are skipped, not started.
    bool sequenceStopRequested = false;
    std::string runKind = "Manual"; // "Automatic" during a scheduled sequence

    // Page host and editors.
    std::string selectedName;
    // The file of the selected backup that the viewer shows: its current
    // backup file when empty, otherwise one of its older copies.
    std::string selectedFile;
    EditorMode connectionEditorMode = EditorMode::None;
    EditorMode backupEditorMode = EditorMode::None;
    EditorMode scheduleEditorMode = EditorMode::None;
    // The work-area page on show; 0 for none. Clearing it makes the next
    // request for that page rebuild it (a forced request).
    int currentPageId = 0;
    bool viewerActive = false;

    // Message boxes show only while this is set (cleared while in the tray).
    bool messagesEnabled = false;

    // Menu, quick start screen and statistics page.
    bool statisticsOnMenuCreate = true;
    bool quickStartCheckEnabled = true;
    bool quickStartPending = true;
    bool systemStartLogged = false;
    bool startedMinimised = false;
    bool delayedRefreshRequested = false;
};
