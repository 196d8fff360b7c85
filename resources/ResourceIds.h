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

// Tray icon and its menu.
inline constexpr int IDI_TRAY_ICON = 4001;
inline constexpr int IDR_TRAY_MENU = 176;
inline constexpr int ID_TRAY_MAXIMIZE = 32782;
inline constexpr int ID_TRAY_PRODUCTS = 32786;
inline constexpr int ID_TRAY_DOWNLOADS = 32787;
inline constexpr int ID_TRAY_SUPPORT = 32788;
inline constexpr int ID_TRAY_UPDATES = 32792;
inline constexpr int ID_TRAY_EXIT = 32783;

// Menu page. Each button's id is the id of the page it asks for.
inline constexpr int IDD_MENU = 134;
inline constexpr int IDC_MENU_STATISTICS = PAGE_STATISTICS;
inline constexpr int IDC_MENU_EXECUTE = PAGE_EXECUTE;
inline constexpr int IDC_MENU_CREATE_CONNECTION = PAGE_CREATE_CONNECTION;
inline constexpr int IDC_MENU_CREATE_BACKUP = PAGE_CREATE_BACKUP;
inline constexpr int IDC_MENU_CREATE_SCHEDULE = PAGE_CREATE_SCHEDULE;
inline constexpr int IDC_MENU_EDIT_CONNECTIONS = PAGE_EDIT_CONNECTIONS;
inline constexpr int IDC_MENU_EDIT_BACKUPS = PAGE_EDIT_BACKUPS;
inline constexpr int IDC_MENU_EDIT_SCHEDULES = PAGE_EDIT_SCHEDULES;
inline constexpr int IDC_MENU_RESTORE = PAGE_RESTORE;
inline constexpr int IDC_MENU_CONFIGURATION = PAGE_CONFIGURATION;
inline constexpr int IDC_MENU_PICTURE = 1054;

// Statistics page.
inline constexpr int IDD_STATISTICS = 133;
inline constexpr int IDC_STAT_CONNECTIONS = 1073;
inline constexpr int IDC_STAT_BACKUPS = 1074;
inline constexpr int IDC_STAT_SCHEDULES = 1075;
inline constexpr int IDC_STAT_LAST_NAME = 1076;
inline constexpr int IDC_STAT_LAST_DT = 1077;
inline constexpr int IDC_STAT_LAST_TYPE = 1078;
inline constexpr int IDC_STAT_CLOCK = 1236;
inline constexpr int IDC_STAT_LOG = 1051;
inline constexpr int IDC_STAT_CLEAR_LOG = 1052;
inline constexpr int IDC_STAT_REPORTING = 1061;
inline constexpr int IDC_STAT_CLEAR_ON_START = 1062;
inline constexpr int IDC_STAT_DIRECTION = 1066;
inline constexpr int IDC_STAT_TIMESTAMPS = 1067;
inline constexpr int IDC_STAT_LAST_FAILURE = 1312;

// Connection editor.
inline constexpr int IDD_CONNECTION_EDITOR = 139;
inline constexpr int IDC_CONN_NAME = 1100;
inline constexpr int IDC_CONN_NAME_HINT = 1101;
inline constexpr int IDC_CONN_DESCRIPTION = 1102;
inline constexpr int IDC_CONN_HOST = 1103;
inline constexpr int IDC_CONN_DATABASE = 1104;
inline constexpr int IDC_CONN_PORT = 1105;
inline constexpr int IDC_CONN_DEFAULT_PORT = 1106;
inline constexpr int IDC_CONN_USER = 1107;
inline constexpr int IDC_CONN_PASSWORD = 1108;
inline constexpr int IDC_CONN_SAVE_PASSWORD = 1109;
inline constexpr int IDC_CONN_TEST = 1110;
inline constexpr int IDC_CONN_SAVE = 1111;
inline constexpr int IDC_CONN_CANCEL_EDIT = 1112;
inline constexpr int IDC_CONN_STATUS = 1113;
inline constexpr int IDC_CONN_TUTORIALS = 1114;

// Backup editor.
inline constexpr int IDD_BACKUP_EDITOR = 141;
inline constexpr int IDC_BKED_NAME = 1120;
inline constexpr int IDC_BKED_NAME_HINT = 1121;
inline constexpr int IDC_BKED_DESCRIPTION = 1122;
inline constexpr int IDC_BKED_CONNECTION = 1123;
inline constexpr int IDC_BKED_CONNECT = 1124;
inline constexpr int IDC_BKED_STATUS = 1125;
inline constexpr int IDC_BKED_CONNECTED_TO = 1126;
inline constexpr int IDC_BKED_TABLES_LOCATED = 1127;
inline constexpr int IDC_BKED_TABLES = 1128;
inline constexpr int IDC_BKED_TABLES_ALL = 1129;
inline constexpr int IDC_BKED_TABLES_NONE = 1130;
inline constexpr int IDC_BKED_SCHEDULES = 1131;
inline constexpr int IDC_BKED_SCHEDULES_ALL = 1132;
inline constexpr int IDC_BKED_SCHEDULES_NONE = 1133;
inline constexpr int IDC_BKED_SAVE = 1134;
inline constexpr int IDC_BKED_CANCEL_EDIT = 1135;
inline constexpr int IDC_BKED_STATUS_TEXT = 1136;

// Schedule editor.
inline constexpr int IDD_SCHEDULE_EDITOR = 144;
inline constexpr int IDC_SCED_NAME = 1150;
inline constexpr int IDC_SCED_NAME_HINT = 1151;
inline constexpr int IDC_SCED_DESCRIPTION = 1152;
inline constexpr int IDC_SCED_HOURLY = 1153;
inline constexpr int IDC_SCED_DAILY = 1154;
inline constexpr int IDC_SCED_WEEKLY = 1155;
inline constexpr int IDC_SCED_MONTHLY = 1156;
inline constexpr int IDC_SCED_DAILY_TIME = 1157;
inline constexpr int IDC_SCED_WEEKLY_DAY = 1158;
inline constexpr int IDC_SCED_WEEKLY_TIME = 1159;
inline constexpr int IDC_SCED_MONTHLY_DAY = 1160;
inline constexpr int IDC_SCED_MONTHLY_TIME = 1161;
inline constexpr int IDC_SCED_ADD = 1162;
inline constexpr int IDC_SCED_DELETE = 1163;
inline constexpr int IDC_SCED_ENTRIES = 1164;
inline constexpr int IDC_SCED_CATEGORY = 1165;
inline constexpr int IDC_SCED_SAVE = 1166;
inline constexpr int IDC_SCED_CANCEL_EDIT = 1167;

// The connection, backup and schedule list pages.
inline constexpr int IDD_CONNECTION_LIST = 140;
inline constexpr int IDD_BACKUP_LIST = 142;
inline constexpr int IDD_SCHEDULE_LIST = 169;
inline constexpr int IDC_DEFLIST_LIST = 1180;
inline constexpr int IDC_DEFLIST_EDIT = 1181;
inline constexpr int IDC_DEFLIST_DELETE = 1182;

// Quick start screen.
inline constexpr int IDD_QUICK_START = 172;
inline constexpr int IDC_QUICK_START_PICTURE = 1246;
inline constexpr int IDC_QUICK_START_CHECK = 1245;
inline constexpr int IDCANCEL = 2;

// Execute page.
inline constexpr int IDD_EXECUTE = 145;
inline constexpr int IDR_EXECUTE_MENU = 159;
inline constexpr int IDC_EXEC_LIST = 1115;
inline constexpr int IDC_EXEC_RUN = 1116;
inline constexpr int IDC_EXEC_CANCEL = 1120;
inline constexpr int IDC_EXEC_GROUP = 1127;
inline constexpr int IDC_EXEC_TABLE_BAR = 1117;
inline constexpr int IDC_EXEC_OVERALL_BAR = 1118;
inline constexpr int IDC_EXEC_TABLE_BAR_LABEL = 1129;
inline constexpr int IDC_EXEC_OVERALL_BAR_LABEL = 1130;
inline constexpr int IDC_EXEC_SITE_BACKUP = 1121;
inline constexpr int IDC_EXEC_RUN_MODE = 1122;
inline constexpr int IDC_EXEC_RUN_STATUS = 1123;
inline constexpr int IDC_EXEC_ELAPSED = 1124;
inline constexpr int IDC_EXEC_TABLE_MEMBERS = 1125;
inline constexpr int IDC_EXEC_CURRENT_MEMBER = 1126;

// Database Backups page.
inline constexpr int IDD_RESTORE = 160;
inline constexpr int IDR_RESTORE_MENU = 161;
inline constexpr int IDC_REST_LIST = 1137;
inline constexpr int IDC_REST_RUN = 1138;
inline constexpr int IDC_REST_VIEW = 1284;
inline constexpr int IDC_REST_CANCEL = 1139;
inline constexpr int IDC_REST_GROUP = 1140;
inline constexpr int IDC_REST_SITE_BACKUP = 1142;
inline constexpr int IDC_REST_RUN_MODE = 1152;
inline constexpr int IDC_REST_RUN_STATUS = 1153;
inline constexpr int IDC_REST_ELAPSED = 1154;
inline constexpr int IDC_REST_TABLE_MEMBERS = 1155;
inline constexpr int IDC_REST_CURRENT_MEMBER = 1156;
inline constexpr int IDC_REST_TABLE_BAR = 1143;
inline constexpr int IDC_REST_OVERALL_BAR = 1144;
inline constexpr int IDC_REST_FILE = 1313;
inline constexpr int IDC_REST_FILE_SIZE = 1316;

// Backup viewer.
inline constexpr int IDD_VIEWER = 182;
inline constexpr int IDC_VIEW_NAME = 1291;
inline constexpr int IDC_VIEW_SIZE = 1289;
inline constexpr int IDC_VIEW_LINE_NUMBERS = 1292;
inline constexpr int IDC_VIEW_TEXT = 1282;
inline constexpr int IDC_VIEW_PROGRESS = 1287;
inline constexpr int IDC_VIEW_STATUS = 1293;
inline constexpr int IDC_VIEW_LOADING = 1288;
inline constexpr int IDC_VIEW_CLOSE = 1011;

// Configuration page.
inline constexpr int IDD_CONFIGURATION = 143;
inline constexpr int IDC_CONF_START_MIN = 1243;
inline constexpr int IDC_CONF_MIN_CLOSE = 1244;
inline constexpr int IDC_CONF_FIRST_ENTRY = 1247;
inline constexpr int IDC_CONF_AUTOSTART = 1300;
inline constexpr int IDC_CONF_CATCH_UP = 1310;
inline constexpr int IDC_CONF_QUICK_START_NOW = 1011;
inline constexpr int IDC_CONF_STANDARD = 1058;
inline constexpr int IDC_CONF_VERBOSE = 1059;
inline constexpr int IDC_CONF_TIMESTAMP = 1063;
inline constexpr int IDC_CONF_ASCENDING = 1064;
inline constexpr int IDC_CONF_DESCENDING = 1065;
inline constexpr int IDC_CONF_DOUBLE_SPACE = 1085;
inline constexpr int IDC_CONF_CLEAR_LOG = 1060;
inline constexpr int IDC_CONF_SHOW_IMAGE = 1057;
inline constexpr int IDC_CONF_COLOURS = 1177;
inline constexpr int IDC_CONF_ABSOLUTE = 1178;
inline constexpr int IDC_CONF_SAFE_COPY = 1180;
inline constexpr int IDC_CONF_INDIRECT = 1179;
inline constexpr int IDC_CONF_TUTORIALS = 1281;
inline constexpr int IDC_CONF_UPDATES = 1279;
inline constexpr int IDC_CONF_DEFAULTS = 1171;
inline constexpr int IDC_CONF_NOTIFY_FAILURE = 1314;
inline constexpr int IDC_CONF_KEEP_COPIES = 1311;
inline constexpr int IDC_CONF_COMPRESS = 1315;

} // namespace rid

// objectName of a control with the given id.
#define VORDA_ID_NAME(id) ("IDC_" #id)

#include <QString>

// objectName of the control with a numeric id: "IDC_<id>".
inline QString ControlName(int id)
{
    return QStringLiteral("IDC_") + QString::number(id);
}
