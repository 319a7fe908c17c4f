/* Resource numbers shared by the C++ code and the resource scripts (windres
   reads this file too: plain #defines only). */
#ifndef QUELDER_RESOURCE_IDS_H
#define QUELDER_RESOURCE_IDS_H

/* Board images 1..14 are bitmaps IDB_BOARD_BASE + 1 .. IDB_BOARD_BASE + 14. */
#define IDB_BOARD_BASE 100
#define IDB_ABOUT_PICTURE 120
/* The toolbox bitmap, 16 x 15, 16 colours. */
#define IDB_TOOLBOX 30000

#endif
