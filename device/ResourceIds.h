#pragma once
// Numbers shared by the workflows, the windows and their layouts: dialogs,
// controls, menu commands and the string table. Like a resource header, this is
// the one place they are defined; the workflows name dialogs and messages by
// these numbers and the user interface builds them from the same numbers.

// Dialogs
#define IDD_ABOUTBOX 100
#define IDD_VELMORA_FORM 101
#define IDD_SCAN 132
#define IDD_OPEN_ERROR 136
#define IDD_COMM_ERROR 137
#define IDD_SET_CONFIRM 138
#define IDD_SET_ERROR 139
#define IDD_SET_DONE 140
#define IDD_INIT_CONFIRM 141
#define IDD_MASTER_MODE 142
#define IDD_SLAVE_MODE 143
#define IDD_STANDARD_MODE 144
#define IDD_LOADING 145
#define IDD_SETTING 146
#define IDD_INITIALIZING 147
#define IDD_ESCAPE 148
#define IDD_ESCAPE_DONE 151
#define IDD_ESCAPE_FAILED 152
#define IDD_ESCAPING 153

// Dialog results
#ifndef IDOK
#define IDOK 1
#endif
#ifndef IDCANCEL
#define IDCANCEL 2
#endif

// Controls of the settings form (and the scan window's settings line, 1006)
#define IDC_SET 1000
#define IDC_SCAN 1001
#define IDC_FREQUENCY 1003
#define IDC_ADDRESS 1004
#define IDC_BAUD_RATE 1005
#define IDC_DATA_BITS 1006
#define IDC_SCAN_SETTINGS 1006
#define IDC_SERIAL_NUMBER 1008
#define IDC_VERSION 1009
#define IDC_PARITY 1010
#define IDC_STOP_BITS 1011
#define IDC_PIN_12 1014
#define IDC_PIN_34 1015
#define IDC_PIN_56 1016
#define IDC_PIN_78 1017
#define IDC_GUIDE 1021
#define IDC_COM_PORT 1022
#define IDC_MODE_NOTE 1023
#define IDC_PIN_NOTE 1024
// The port-error dialog's line that tells why the port could not be opened.
#define IDC_OPEN_REASON 1100

// Menu commands
#define ID_TOOLS_INITIALIZE 32774
#define ID_MODE_TRANSPARENT_MASTER 32776
#define ID_MODE_TRANSPARENT_SLAVE 32777
#define ID_MODE_CANCEL_TRANSPARENT 32778
#define ID_FILE_NEW_ 32780
#define ID_FILE_OPEN_ 32781
#define ID_FILE_SAVE_ 32782
#define ID_FILE_SAVE_AS_ 32783
#define ID_FILE_PRINT_ 32784
#define ID_FILE_PRINT_PREVIEW_ 32785
#define ID_FILE_PRINT_SETUP_ 32786
#define ID_MODE_ESCAPE_TRANSPARENT 32787
#define ID_FILE_MRU_FILE1 57616
#define ID_EDIT_COPY 57634
#define ID_EDIT_CUT 57635
#define ID_EDIT_PASTE 57637
#define ID_EDIT_UNDO 57643
#define ID_APP_ABOUT 57664
#define ID_APP_EXIT 57665

// Resource bundle of the frame, the menu and the icon
#define IDR_MAINFRAME 128

// String table
#define IDS_GUIDE_SCAN 41446
#define IDS_GUIDE_EDIT 41447
#define IDS_BAD_ADDRESS 41448
#define IDS_SET_DONE 41450
#define IDS_DEVICE_NOT_FOUND 41453
#define IDS_MODE_MASTER 41454
#define IDS_MODE_SLAVE 41455
#define IDS_PINS_LOCKED_TRANSPARENT 41456
#define IDS_PINS_FIXED_MODEL 41457
#define IDS_PORT_OTHER 41460
#define IDS_PORT_PROMPT 41461
#define IDS_BAD_PORT 41462
#define AFX_IDS_APP_TITLE 57344
#define AFX_IDS_IDLEMESSAGE 57345
