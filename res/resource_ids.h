// Resource numbers, shared by the resource scripts and the code. Packages,
// translations and tests address resources by these numbers; never renumber.
#pragma once

// Strings
#define IDS_APP_CAPTION 1
#define IDS_CANNOT_OPEN 2
#define IDS_NOT_SUPPORTED 3
#define IDS_PACKAGE_BROKEN 4
#define IDS_TEMP_FILE_EXISTS 5
#define IDS_CANNOT_WRITE_FILE 6
#define IDS_CANNOT_EXECUTE 7
#define IDS_NO_TEMP_FOLDER 8
#define IDS_MOVE_FAILED 9
#define IDS_COMPLETED 10
#define IDS_LANGUAGE_LETTER 11
#define IDS_INVALID_FOLDER 13
#define IDS_REPLACE_PROMPT 15
#define IDS_CLOSING 16

// Dialog templates
#define IDD_LICENCE 102
#define IDD_DESTINATION 103

// Controls
#define IDC_LICENCE_TEXT 1000
#define IDC_DESTINATION_PATH 1001

// Icons
#define IDI_APP 101
