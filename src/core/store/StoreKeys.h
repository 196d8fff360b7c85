#pragma once

// Table names, row names and stored texts of the settings database. These are
// a stored format: existing vorda.db files rely on every byte of them.
namespace keys {

inline constexpr const char* kPrefix = "Tesmo";
inline constexpr const char* kConfigurationTable = "Tesmo_CONFIGURATION";
inline constexpr const char* kCountersTable = "Tesmo_COUNTERS";
inline constexpr const char* kCustomerData = "CUSTOMER_DATA";

// Marker of a completed first start; its table is outside the "Tesmo_" name
// space, so no definition can ever share it.
inline constexpr const char* kInstallTable = "VORDA_INSTALL";
inline constexpr const char* kFirstStartDone = "FIRST_START_DONE";

// Configuration keys.
inline constexpr const char* kCompStart = "IDC_CONF_BACKUPS_COMP_START";
inline constexpr const char* kStartMin = "IDC_CONF_BACKUPS_START_MIN";
inline constexpr const char* kMinClose = "IDC_CONF_BACKUPS_MIN_CLOSE";
inline constexpr const char* kFirstEntry = "IDC_CONF_BACKUPS_FIRST_ENTRY";
inline constexpr const char* kReportingState = "IDC_CONF_BACKUPS_REPORTING_STATE";
inline constexpr const char* kAscDesc = "IDC_CONF_REP_ASC_DESC";
inline constexpr const char* kRestoreMode = "IDC_CONF_RESTORE_ABSOLUTE_INDIRECT";
inline constexpr const char* kLogAtStart = "IDC_CONF_BACKUPS_LOG_AT_START";
inline constexpr const char* kShowImage = "IDC_CONF_BACKUPS_SHOW_IMAGE";
inline constexpr const char* kShowTimestamp = "IDC_CONF_BACKUPS_SHOW_TIMESTAMP";
inline constexpr const char* kDoubleSpace = "IDC_CONF_BACKUPS_DOUBLESPACE";
inline constexpr const char* kRestoreColor = "IDC_CONF_BACKUP_RESTORE_COLOR";
inline constexpr const char* kSafeCopy = "IDC_CONF_RESTORE_SAFE_COPY";
inline constexpr const char* kLineNumbers = "IDC_TEXT_VIEW_CHECK_LINE_NUMBERS";
inline constexpr const char* kCatchUp = "IDC_CONF_BACKUPS_CATCH_UP";
inline constexpr const char* kNotifyFailure = "IDC_CONF_BACKUPS_NOTIFY_FAILURE";
inline constexpr const char* kKeepCopies = "IDC_CONF_BACKUPS_KEEP_COPIES";
inline constexpr const char* kCompress = "IDC_CONF_BACKUPS_COMPRESS";

inline constexpr const char* kTrue = "TRUE";
inline constexpr const char* kFalse = "FALSE";
inline constexpr const char* kRepStandard = "CONF_HIST_REP_STANDARD";
inline constexpr const char* kRepVerbose = "CONF_HIST_REP_VERBOSE";
inline constexpr const char* kRepAscend = "CONF_HIST_REP_ASCEND";
inline constexpr const char* kRepDescend = "CONF_HIST_REP_DESCEND";
inline constexpr const char* kRestoreAbsolute = "CONF_RESTORE_ABSOLUTE";
inline constexpr const char* kRestoreIndirect = "CONF_RESTORE_INDIRECT";

// Totals and last-backup facts in Tesmo_COUNTERS.
inline constexpr const char* kConnectionsCount = "CONNECTIONS_COUNT";
inline constexpr const char* kBackupsCount = "BACKUPS_COUNT";
inline constexpr const char* kSchedulesCount = "SCHEDULES_COUNT";
inline constexpr const char* kLastBackupName = "LAST_BACKUP_NAME";
inline constexpr const char* kLastBackupDt = "LAST_BACKUP_DT";
inline constexpr const char* kLastBackupType = "LAST_BACKUP_TYPE";
// The instant (seconds since 1970, UTC) of the last evaluation of the
// schedules: the next one looks for slots after it.
inline constexpr const char* kLastScheduleEvaluation = "LAST_SCHEDULE_EVALUATION";
// The last failed (or skipped) backup or restore run.
inline constexpr const char* kLastFailureName = "LAST_FAILURE_NAME";
inline constexpr const char* kLastFailureDt = "LAST_FAILURE_DT";
inline constexpr const char* kLastFailureReason = "LAST_FAILURE_REASON";

// Name-list rows in CUSTOMER_DATA.
inline constexpr const char* kConnectNames = "connect_names";
inline constexpr const char* kBackupNames = "backup_names";
inline constexpr const char* kScheduleNames = "schedule_name";

} // namespace keys
