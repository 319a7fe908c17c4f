// frmAbout, the control's About box: product name, version, credits and the
// "System Info..." button. One form per process, shared by the controls of
// every thread.
#pragma once

#include <windows.h>

namespace quelder::about {

// Shows the About box without waiting for it: loads it on the calling
// thread (with the picture IDB_ABOUT_PICTURE from the module `resources`, if
// it has one) when it is not open, else only brings the open one to the
// front, whichever thread loaded it (one that another thread is loading at
// that moment shows when that thread's call returns). Call it on a thread
// that runs a message loop; the box works with any loop (Enter, Esc, Tab and
// access keys included) and lives until its OK button, Esc or its close box
// unloads it, or until the thread that loaded it ends. Safe to call on
// several threads at once.
void About(HINSTANCE resources);

// The open About box, or null; any thread may ask.
HWND AboutWindow();

// The picture the open About box shows, owned by the box (null when the box
// is closed or the module had no picture).
HBITMAP AboutPicture();

// The child controls of the box, by their ids (GetDlgItem).
namespace control_id {
inline constexpr int cmdOK = IDOK;
inline constexpr int picIcon = 101;
inline constexpr int cmdSysInfo = 102;
inline constexpr int lblDisclaimer = 103;
inline constexpr int lblTitle = 104;
inline constexpr int lblVersion = 105;
inline constexpr int webAddress = 106;
inline constexpr int lblCredit = 107;
}  // namespace control_id

}  // namespace quelder::about
