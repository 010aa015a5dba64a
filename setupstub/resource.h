// Resource identifiers of setupstub.
#pragma once

#define IDD_OPTIONS            115
#define IDB_PICTURE            107

#define IDC_SEPARATOR          51
#define IDC_VIEW_INFO_PAGE     1001
#define IDC_OPEN_OLD_DATA      1002
#define IDC_CONTINUE           1034
#define IDC_EXIT_SETUP         1035
#define IDC_MESSAGE            1059
#define IDC_PICTURE            1060
#define IDC_HEADING            1061
#define IDC_FOOTER             1062

#define IDS_NEWER_INSTALLED    2
#define IDS_OLDER_INSTALLED    3
#define IDS_SAME_INSTALLED     4
#define IDS_FOOTER_OLDER       9
#define IDS_FOOTER             10
#define IDS_HEADING_UPGRADE    11
#define IDS_HEADING_FRESH      12
#define IDS_MESSAGE_FRESH      13
#define IDS_FILES_IN_USE       14
