#pragma once

// Numeric ids of windows, pages, controls, timers and pictures. Controls carry
// their id in their objectName ("IDC_<number>") so tests can find them.
namespace rid {

// Dialogs and pages.
inline constexpr int IDD_VORDA_DIALOG = 102;
inline constexpr int PAGE_STATISTICS = 1040;
inline constexpr int PAGE_EXECUTE = 1038;
inline constexpr int PAGE_CREATE_CONNECTION = 1041;
inline constexpr int PAGE_CREATE_BACKUP = 1036;
inline constexpr int PAGE_CREATE_SCHEDULE = 1046;
inline constexpr int PAGE_EDIT_CONNECTIONS = 1035;
inline constexpr int PAGE_EDIT_BACKUPS = 1037;
inline constexpr int PAGE_EDIT_SCHEDULES = 1011;
inline constexpr int PAGE_RESTORE = 1087;
inline constexpr int PAGE_CONFIGURATION = 1045;
inline constexpr int PAGE_VIEWER = 32772;

// Window timers.
inline constexpr int TIMER_SCHEDULE = 6000;
inline constexpr int TIMER_SCHEDULE_ALT = 6001;
inline constexpr int TIMER_START_MINIMISED = 6003;
inline constexpr int TIMER_STATISTICS_CLOCK = 6007;
inline constexpr int TIMER_STATISTICS_REFRESH = 6008;
inline constexpr int TIMER_VIEWER_LOAD = 6009;

// Main window controls.
inline constexpr int IDC_WORK_AREA_PLACEHOLDER = 1005;
inline constexpr int IDC_MENU_PLACEHOLDER = 1006;
inline constexpr int IDC_BANNER = 1056;
inline constexpr int IDC_AUTO_RUN_INDICATOR = 1241;
inline constexpr int IDC_HELP = 57670;
inline constexpr int IDC_HOME = 1271;

// Pictures and icon.
inline constexpr int IDR_MAINFRAME = 128;
inline constexpr int IDB_BACKGROUND = 131;
inline constexpr int IDB_BANNER = 150;
inline constexpr int IDB_MENU_PICTURE = 149;
inline constexpr int IDB_MESSAGE_BACKGROUND = 152;
inline constexpr int IDB_CAPTION_YES_NO = 154;
inline constexpr int IDB_CAPTION_ALERT = 155;
inline constexpr int IDB_CAPTION_ERROR = 156;
inline constexpr int IDB_AUTO_RUN_INDICATOR = 171;
inline constexpr int IDB_QUICK_START = 173;

// Message box.
inline constexpr int IDD_MESSAGES = 151;
inline constexpr int IDC_MESSAGE_IMAGE = 1072;
inline constexpr int IDC_MESSAGE_TEXT = 1071;
inline constexpr int IDC_MESSAGE_YES = 1068;
inline constexpr int IDC_MESSAGE_NO = 1069;
inline constexpr int IDC_MESSAGE_CONTINUE = 1070;

// Tray.
inline constexpr int IDI_TRAY_ICON = 4001;

} // namespace rid

// objectName of a control with the given id.
#define VORDA_ID_NAME(id) ("IDC_" #id)
