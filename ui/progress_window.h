// The progress window: a borderless, centred box with the program's icon and
// one sentence, shown while the secondary setup is extracted.
//
// The entry sequence calls OpenProgressWindow first, CloseProgressWindow
// before any error box, and ReleaseProgressWindowResources last; the launch
// calls HideProgressWindow once the hand-over is under way. Host tests link a
// fake of these four functions that records their order.
#ifndef KIV_UI_PROGRESS_WINDOW_H
#define KIV_UI_PROGRESS_WINDOW_H

// Makes the background brush, then the window from dialog 102 of `instance`
// (an HINSTANCE), shows it and has it drawn before returning: no message
// loop runs while the extraction works. Nothing is examined; without a window
// every later call simply has no effect.
void OpenProgressWindow(void* instance);

// Hides the window; it goes on existing, hidden.
void HideProgressWindow();

// Destroys the window and its controls.
void CloseProgressWindow();

// Deletes the background brush and the normal-weight font, whether or not
// they were made.
void ReleaseProgressWindowResources();

#endif
