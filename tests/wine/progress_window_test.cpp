// The progress window as Windows makes it from the program's own resources:
// what a user sees (visible, centred, no title bar, icon, sentence in a
// normal-weight font, everything already painted) and how the dialog
// procedure answers. Runs under Wine, on a virtual display.
#include <gtest/gtest.h>

#include <windows.h>

#include <string.h>

#include "ui/progress_window.h"
#include "ui/progress_window_state.h"
#include "ui/window_position.h"

namespace {

const char kSentence[] =
    "Setup is preparing the Kiv setup wizard, which will guide you through the rest of the "
    "installation process.";

ScreenRect WindowRect(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    ScreenRect s = {r.left, r.top, r.right, r.bottom};
    return s;
}

HWND IconControl(HWND window) {
    return GetWindow(window, GW_CHILD);
}

HWND SentenceControl(HWND window) {
    return GetWindow(IconControl(window), GW_HWNDNEXT);
}

LOGFONTA FontOf(HGDIOBJ font) {
    LOGFONTA description;
    memset(&description, 0, sizeof(description));
    EXPECT_NE(GetObjectA(font, sizeof(description), &description), 0);
    return description;
}

class ProgressWindow : public ::testing::Test {
   protected:
    void SetUp() override {
        OpenProgressWindow(GetModuleHandleA(nullptr));
        window = progressWindowHandle;
        ASSERT_NE(window, nullptr) << "dialog 102 should be linked into this test program";
    }
    void TearDown() override {
        CloseProgressWindow();
        ReleaseProgressWindowResources();
    }

    void ExpectCentred() {
        ScreenRect desktop = WindowRect(GetDesktopWindow());
        ScreenRect placed = WindowRect(window);
        ScreenPoint expected = CentredWindowOrigin(desktop, placed);
        EXPECT_EQ(placed.left, expected.x);
        EXPECT_EQ(placed.top, expected.y);
    }

    HWND window = nullptr;
};

TEST_F(ProgressWindow, IsVisibleCentredAndHasNoTitleBarOrSystemMenu) {
    EXPECT_TRUE(IsWindowVisible(window));
    ExpectCentred();

    LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_NE(style & WS_CAPTION, WS_CAPTION);
    EXPECT_EQ(style & WS_SYSMENU, 0);
    EXPECT_EQ(style & WS_POPUP, WS_POPUP);

    // Centring moved the window but kept the template's 164 x 33 units.
    RECT units = {0, 0, 164, 33};
    MapDialogRect(window, &units);
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, units.right);
    EXPECT_EQ(client.bottom, units.bottom);
}

TEST_F(ProgressWindow, ShowsTheProgramIconFirstAndTheSentenceSecond) {
    HWND icon = IconControl(window);
    char className[32] = "";
    GetClassNameA(icon, className, sizeof(className));
    EXPECT_EQ(lstrcmpiA(className, "Static"), 0);
    EXPECT_EQ(WORD(GetDlgCtrlID(icon)), 0xFFFF);
    EXPECT_EQ(GetWindowLongA(icon, GWL_STYLE) & SS_TYPEMASK, SS_ICON);
    EXPECT_TRUE(IsWindowVisible(icon));
    HICON shown = (HICON)SendMessageA(icon, STM_GETICON, 0, 0);
    ASSERT_NE(shown, nullptr);
    ICONINFO info;
    ASSERT_TRUE(GetIconInfo(shown, &info));
    BITMAP mask;
    GetObjectA(info.hbmMask, sizeof(mask), &mask);
    EXPECT_EQ(mask.bmWidth, 32);
    DeleteObject(info.hbmMask);
    if (info.hbmColor != nullptr) {
        DeleteObject(info.hbmColor);
    }

    HWND sentence = SentenceControl(window);
    EXPECT_EQ(sentence, GetDlgItem(window, 1000));
    char text[256] = "";
    GetWindowTextA(sentence, text, sizeof(text));
    EXPECT_STREQ(text, kSentence);
    EXPECT_TRUE(IsWindowVisible(sentence));
}

TEST_F(ProgressWindow, DrawsTheSentenceInANormalWeightCopyOfTheTemplateFont) {
    ASSERT_NE(dialogFont, nullptr);
    EXPECT_EQ((HFONT)SendMessageA(SentenceControl(window), WM_GETFONT, 0, 0), dialogFont);
    LOGFONTA font = FontOf(dialogFont);
    EXPECT_EQ(font.lfWeight, FW_NORMAL);
    EXPECT_STREQ(font.lfFaceName, "MS Sans Serif");
}

TEST_F(ProgressWindow, IsFullyPaintedWhenOpenReturns) {
    // No message loop runs during the extraction, so anything still waiting
    // for WM_PAINT here would stay blank on the user's screen.
    EXPECT_FALSE(GetUpdateRect(window, nullptr, FALSE));
    EXPECT_FALSE(GetUpdateRect(IconControl(window), nullptr, FALSE));
    EXPECT_FALSE(GetUpdateRect(SentenceControl(window), nullptr, FALSE));
}

TEST_F(ProgressWindow, ASecondInitialisationCentresAgainButKeepsTheFirstFont) {
    HFONT first = dialogFont;
    SetWindowPos(window, nullptr, 3, 7, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
    EXPECT_EQ(SendMessageA(window, WM_INITDIALOG, 0, 0), TRUE);
    ExpectCentred();
    EXPECT_EQ(dialogFont, first);
    EXPECT_EQ((HFONT)SendMessageA(SentenceControl(window), WM_GETFONT, 0, 0), first);
}

TEST_F(ProgressWindow, ColourQueriesGiveTheButtonFaceBrushAndATransparentBackground) {
    LOGBRUSH brush;
    ASSERT_EQ(GetObjectA(backgroundBrush, sizeof(brush), &brush), int(sizeof(brush)));
    EXPECT_EQ(brush.lbStyle, UINT(BS_SOLID));
    EXPECT_EQ(brush.lbColor, GetSysColor(COLOR_BTNFACE));

    struct Query {
        UINT message;
        HWND from;
    } queries[] = {
        {WM_CTLCOLORDLG, window},
        {WM_CTLCOLORSTATIC, IconControl(window)},
        {WM_CTLCOLORSTATIC, SentenceControl(window)},
    };
    HDC dc = CreateCompatibleDC(nullptr);
    for (const Query& q : queries) {
        SetBkMode(dc, OPAQUE);
        SetBkColor(dc, RGB(1, 2, 3));
        // Through the window, as the controls ask, and straight to the procedure.
        LRESULT sent = SendMessageA(window, q.message, (WPARAM)dc, (LPARAM)q.from);
        EXPECT_EQ((HBRUSH)sent, backgroundBrush) << q.message;
        EXPECT_EQ(GetBkMode(dc), TRANSPARENT) << q.message;
        EXPECT_EQ(GetBkColor(dc), GetSysColor(COLOR_BTNFACE)) << q.message;
        SetBkMode(dc, OPAQUE);
        INT_PTR direct = ProgressDialogProc(window, q.message, (WPARAM)dc, (LPARAM)q.from);
        EXPECT_EQ((HBRUSH)direct, backgroundBrush) << q.message;
        EXPECT_EQ(GetBkMode(dc), TRANSPARENT) << q.message;
    }
    DeleteDC(dc);
}

TEST_F(ProgressWindow, LeavesEveryOtherMessageToTheDefaultHandling) {
    const UINT others[] = {WM_COMMAND,      WM_CLOSE,   WM_CTLCOLORBTN,
                           WM_CTLCOLOREDIT, WM_KEYDOWN, WM_TIMER};
    for (UINT message : others) {
        EXPECT_EQ(ProgressDialogProc(window, message, IDCANCEL, 0), FALSE) << message;
    }
    // Neither Escape nor a close request takes the window away.
    SendMessageA(window, WM_COMMAND, IDCANCEL, 0);
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(ProgressWindow, HidesThenClosesThenReleasesItsBrushAndFont) {
    HBRUSH brush = backgroundBrush;
    HFONT font = dialogFont;
    HideProgressWindow();
    EXPECT_TRUE(IsWindow(window));
    EXPECT_FALSE(IsWindowVisible(window));
    CloseProgressWindow();
    EXPECT_FALSE(IsWindow(window));
    // Both outlive the window until they are released.
    EXPECT_EQ(GetObjectType(brush), DWORD(OBJ_BRUSH));
    EXPECT_EQ(GetObjectType(font), DWORD(OBJ_FONT));
    ReleaseProgressWindowResources();
    EXPECT_EQ(GetObjectType(brush), 0u);
    EXPECT_EQ(GetObjectType(font), 0u);
}

TEST(ProgressWindowMissing, EveryCallIsHarmlessWhenTheWindowCannotBeMade) {
    // A module without dialog 102: no window, yet the run goes on unchanged.
    OpenProgressWindow(GetModuleHandleA("kernel32.dll"));
    EXPECT_EQ(progressWindowHandle, nullptr);
    EXPECT_NE(backgroundBrush, nullptr);
    EXPECT_EQ(dialogFont, nullptr);
    HideProgressWindow();
    CloseProgressWindow();
    ReleaseProgressWindowResources();
    ReleaseProgressWindowResources();
    EXPECT_EQ(backgroundBrush, nullptr);
}

}  // namespace
