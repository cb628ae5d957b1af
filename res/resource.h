// Resource and command identifiers. The numbers are fixed: other modules of
// the library and the help file rely on them.
#ifndef WENDLE_RESOURCE_H
#define WENDLE_RESOURCE_H

// Icons
#define IDI_IDLE        100
#define IDI_ONLINE      101  // first of four animation frames, 101 to 104
#define IDI_ONLINE2     102
#define IDI_ONLINE3     103
#define IDI_ONLINE4     104

#define IDI_REMIND      116  // picture of the reminder prompt
#define IDI_ASK         126  // picture of the auto-disconnect prompt

// Dialogs
#define IDD_REMIND      106
#define IDD_ASK         108

#define IDC_DIAL_STATUS 1002  // status line of the "DIALING" dialog
#define IDT_DIAL_STATUS 100   // its status timer
#define IDT_TRAY_SETTLE 101   // the main window's second look at the line

// Raw data (RCDATA)
// The properties dialog's help texts for contexts 4 to 9, generated from
// res/help.txt (scripts/hlpgen.py describes the records)
#define IDR_HELP_TEXTS  300

// RAS state texts (not consecutive: the numbers in between belong to the
// dialogs, the menu and the icons)
#define IDS_RASCS_OPENPORT              105
#define IDS_RASCS_PORTOPENED            107
#define IDS_RASCS_CONNECTDEVICE         109
#define IDS_RASCS_DEVICECONNECTED       111
#define IDS_RASCS_ALLDEVICESCONNECTED   113
#define IDS_RASCS_AUTHENTICATE          115
#define IDS_RASCS_AUTHNOTIFY            117
#define IDS_RASCS_AUTHRETRY             119
#define IDS_RASCS_AUTHCALLBACK          120
#define IDS_RASCS_AUTHCHANGEPASSWORD    121
#define IDS_RASCS_AUTHPROJECT           122
#define IDS_RASCS_AUTHLINKSPEED         123
#define IDS_RASCS_AUTHACK               124
#define IDS_RASCS_REAUTHENTICATE        125
#define IDS_RASCS_AUTHENTICATED         127
#define IDS_RASCS_PREPAREFORCALLBACK    129
#define IDS_RASCS_WAITFORMODEMRESET     130
#define IDS_RASCS_WAITFORCALLBACK       131
#define IDS_RASCS_INTERACTIVE           132
#define IDS_RASCS_RETRYAUTHENTICATION   133
#define IDS_RASCS_CALLBACKSETBYCALLER   134
#define IDS_RASCS_PASSWORDEXPIRED       135
#define IDS_RASCS_CONNECTED             136
#define IDS_RASCS_DISCONNECTED          137

// Properties dialog
#define IDD_PROPERTIES          114
#define IDC_AUTODISCONNECT      1000
#define IDC_DISCONNECT_MINUTES  1001
#define IDC_REMIND              1002
#define IDC_REMIND_MINUTES      1003
#define IDC_REMIND_LABEL        1004
#define IDC_REMIND_UNIT         1005
#define IDC_DISCONNECT_UNIT     1006
#define IDC_DISCONNECT_LABEL    1007

// About box
#define IDD_ABOUT       138
#define IDC_MARQUEE     730
#define IDC_LOGO        818
#define IDC_ABOUT_DESCRIPTION 1051
#define IDC_ABOUT_BY    1056
#define IDC_ABOUT_AUTHOR 1058
#define IDC_ABOUT_CONTACT 1060

// "Enter User Details" (named resource IDD_GETUPASS; no code opens it)
#define IDC_USERNAME    1100
#define IDC_PASSWORD    1101

// Menus
#define IDM_TRAYMENU    112

// Menu commands
#define IDM_ABOUT       40001
#define IDM_PROPERTIES  40003
#define IDM_EXIT        40004
#define IDM_HANGUP      40006
#define IDM_DIAL_FIRST  32872
#define IDM_DIAL_LAST   (IDM_DIAL_FIRST + 99)

#ifndef IDC_STATIC
#define IDC_STATIC      (-1)
#endif

#endif
