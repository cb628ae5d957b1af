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
