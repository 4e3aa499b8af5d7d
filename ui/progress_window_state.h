// The progress window's own state and dialog procedure, for the window code
// and the Windows tests that look inside it. Everything else goes through
// ui/progress_window.h.
#ifndef KIV_UI_PROGRESS_WINDOW_STATE_H
#define KIV_UI_PROGRESS_WINDOW_STATE_H

#include <windows.h>

// The window made from dialog 102; null before it is opened, when it could
// not be made, and after it is closed.
extern HWND progressWindowHandle;

// Solid brush in the button-face colour of the moment the window was opened;
// made once per run, before the window, and never re-made.
extern HBRUSH backgroundBrush;

// Normal-weight copy of the template's font, made at the window's first
// initialisation; null until then, or while it could not be made.
extern HFONT dialogFont;

// The window's dialog procedure. WM_INITDIALOG centres the window and, the
// first time only, gives it and the sentence a normal-weight font (returns
// TRUE). WM_CTLCOLORDLG and WM_CTLCOLORSTATIC set a transparent background in
// the current button-face colour on the device context in `wParam` and return
// `backgroundBrush` itself. Every other message gives FALSE, leaving it to
// the default dialog handling.
INT_PTR CALLBACK ProgressDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#endif
