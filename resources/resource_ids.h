// Every resource name and identifier of the Windows program, shared by the resource script
// and the C++ code. The resource compiler sees only the #define lines; the C++ names of the
// two named resources are hidden from it so that mixorama.rc can use them as bare names.
#pragma once

// ---- Control panel dialog FEN_PRINC: controls -------------------------------------------
// Slot n (1..8): "Load Wave" 100 + n, "No Wave" 108 + n, number beside the map 116 + n,
// slot label 124 + n.
#define IDC_LOAD_WAVE_FIRST 101
#define IDC_LOAD_WAVE_1 101
#define IDC_LOAD_WAVE_2 102
#define IDC_LOAD_WAVE_3 103
#define IDC_LOAD_WAVE_4 104
#define IDC_LOAD_WAVE_5 105
#define IDC_LOAD_WAVE_6 106
#define IDC_LOAD_WAVE_7 107
#define IDC_LOAD_WAVE_8 108
#define IDC_LOAD_WAVE_LAST 108

#define IDC_NO_WAVE_FIRST 109
#define IDC_NO_WAVE_1 109
#define IDC_NO_WAVE_2 110
#define IDC_NO_WAVE_3 111
#define IDC_NO_WAVE_4 112
#define IDC_NO_WAVE_5 113
#define IDC_NO_WAVE_6 114
#define IDC_NO_WAVE_7 115
#define IDC_NO_WAVE_8 116
#define IDC_NO_WAVE_LAST 116

#define IDC_MAP_NUMBER_1 117
#define IDC_MAP_NUMBER_2 118
#define IDC_MAP_NUMBER_3 119
#define IDC_MAP_NUMBER_4 120
#define IDC_MAP_NUMBER_5 121
#define IDC_MAP_NUMBER_6 122
#define IDC_MAP_NUMBER_7 123
#define IDC_MAP_NUMBER_8 124

#define IDC_SLOT_LABEL_FIRST 125
#define IDC_SLOT_LABEL_1 125
#define IDC_SLOT_LABEL_2 126
#define IDC_SLOT_LABEL_3 127
#define IDC_SLOT_LABEL_4 128
#define IDC_SLOT_LABEL_5 129
#define IDC_SLOT_LABEL_6 130
#define IDC_SLOT_LABEL_7 131
#define IDC_SLOT_LABEL_8 132

#define IDC_SYNC 133
#define IDC_PLAY 189
#define IDC_MAP 200
#define IDC_UNNAMED_STATIC (-1)

// The predefined window classes as the template stores them: by atom, as the system's own
// resource compiler does ("Button" and "Static"; a class given by name would be stored as a
// text in capitals).
#define WC_BUTTON_ATOM 0x0080
#define WC_STATIC_ATOM 0x0082

// ---- Menu MENU_1: command ids ----------------------------------------------------------
#define IDM_LOAD_SETUP 900
#define IDM_SAVE_SETUP 901
#define IDM_QUIT 902
#define IDM_HELP 903
#define IDM_RATE_11025 904
#define IDM_RATE_22050 905
#define IDM_RATE_44100 906

// ---- Bitmap and icons ------------------------------------------------------------------
#define IDB_MAP 1000    // the map's background, 350 x 350 pixels, 8 bits per pixel
#define IDI_MAIN 980    // 32 x 32, 16 colours
#define IDI_SECOND 981  // 32 x 32, 16 colours

#ifndef RC_INVOKED
// Names of the two named resources (string names, not numbers).
inline constexpr char kPanelTemplateName[] = "FEN_PRINC";
inline constexpr char kFrameMenuName[] = "MENU_1";
#endif
