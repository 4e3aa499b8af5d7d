// The progress window. Nothing here is checked or reported: a window that
// cannot be made leaves a null handle, and every later call on it simply
// does nothing, so the extraction runs the same with or without it.
#include "ui/progress_window.h"

#include <windows.h>

#include "resources/resource_ids.h"
#include "ui/progress_window_state.h"
#include "ui/window_position.h"

HWND progressWindowHandle = nullptr;
HBRUSH backgroundBrush = nullptr;
HFONT dialogFont = nullptr;

namespace {

ScreenRect ScreenRectOf(HWND window) {
    RECT r = {0, 0, 0, 0};
    GetWindowRect(window, &r);
    ScreenRect s = {r.left, r.top, r.right, r.bottom};
    return s;
}

void CentreOnDesktop(HWND window) {
    ScreenPoint origin =
        CentredWindowOrigin(ScreenRectOf(GetDesktopWindow()), ScreenRectOf(window));
    SetWindowPos(window, nullptr, origin.x, origin.y, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
}

// The sentence is drawn in normal weight whatever weight the system gave the
// template's font. When the template's font cannot be read or the copy cannot
// be made, the window keeps the template's font rather than getting a font
// made from an unfilled description, or none at all.
void UseNormalWeightFont(HWND window) {
    HFONT templateFont = (HFONT)SendMessageA(window, WM_GETFONT, 0, 0);
    if (templateFont == nullptr) {
        return;
    }
    LOGFONTA description;
    ZeroMemory(&description, sizeof(description));
    if (GetObjectA(templateFont, sizeof(description), &description) == 0) {
        return;
    }
    description.lfWeight = FW_NORMAL;
    dialogFont = CreateFontIndirectA(&description);
    if (dialogFont == nullptr) {
        return;
    }
    SendMessageA(window, WM_SETFONT, (WPARAM)dialogFont, TRUE);
    SendDlgItemMessageA(window, KIV_CONTROL_SENTENCE, WM_SETFONT, (WPARAM)dialogFont, TRUE);
}

}  // namespace

INT_PTR CALLBACK ProgressDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            CentreOnDesktop(window);
            if (dialogFont == nullptr) {
                UseNormalWeightFont(window);
            }
            return TRUE;
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSTATIC: {
            HDC dc = (HDC)wParam;
            SetBkMode(dc, TRANSPARENT);
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return (INT_PTR)backgroundBrush;
        }
        default:
            return FALSE;
    }
}

void OpenProgressWindow(void* instance) {
    // The brush comes first: colour queries arrive while the window is made.
    backgroundBrush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    progressWindowHandle = CreateDialogParamA(
        (HINSTANCE)instance, MAKEINTRESOURCEA(KIV_DIALOG_PROGRESS), nullptr, ProgressDialogProc, 0);
    if (progressWindowHandle == nullptr) {
        return;
    }
    ShowWindow(progressWindowHandle, SW_SHOW);
    // No message loop runs until the hand-over, so WM_PAINT would never be
    // taken from the queue: paint the window and both controls now, and push
    // any batched drawing out, or users would look at an empty box for the
    // whole extraction.
    RedrawWindow(progressWindowHandle, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_ERASENOW | RDW_UPDATENOW);
    GdiFlush();
}

void HideProgressWindow() {
    if (progressWindowHandle != nullptr) {
        ShowWindow(progressWindowHandle, SW_HIDE);
    }
}

void CloseProgressWindow() {
    if (progressWindowHandle != nullptr) {
        DestroyWindow(progressWindowHandle);
        progressWindowHandle = nullptr;
    }
}

void ReleaseProgressWindowResources() {
    // Both outlive the window; null handles are skipped rather than handed to
    // the system, and cleared so that a stray second call deletes nothing.
    if (backgroundBrush != nullptr) {
        DeleteObject(backgroundBrush);
        backgroundBrush = nullptr;
    }
    if (dialogFont != nullptr) {
        DeleteObject(dialogFont);
        dialogFont = nullptr;
    }
}
