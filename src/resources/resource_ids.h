/* Resource numbers shared by the C++ code and the resource scripts (windres
   reads this file too: plain #defines only). */
#ifndef QUELDER_RESOURCE_IDS_H
#define QUELDER_RESOURCE_IDS_H

/* Board images 1..14 are bitmaps IDB_BOARD_BASE + 1 .. IDB_BOARD_BASE + 14. */
#define IDB_BOARD_BASE 100
#define IDB_ABOUT_PICTURE 120
/* The toolbox bitmap, 16 x 15, 16 colours. */
#define IDB_TOOLBOX 30000

/* The board class's property page: its dialog template, its size in dialog
   units, and its controls. */
#define IDD_BOARD_PAGE 200
#define BOARD_PAGE_WIDTH 236
#define BOARD_PAGE_HEIGHT 142
#define IDC_PAGE_WOOD 201
#define IDC_PAGE_FLAT 202
#define IDC_PAGE_LIGHT_SWATCH 203
#define IDC_PAGE_LIGHT_CHOOSE 204
#define IDC_PAGE_DARK_SWATCH 205
#define IDC_PAGE_DARK_CHOOSE 206
#define IDC_PAGE_COORDINATES 207
#define IDC_PAGE_FLIPPED 208
#define IDC_PAGE_DRAG 209
#define IDC_PAGE_ANNOTATIONS 210
#define IDC_PAGE_TYPED_MOVES 211
#define IDC_PAGE_ANIMATION 212

#endif
