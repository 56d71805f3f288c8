#pragma once
// Message boxes and the mouse cursor, as the window system offered them.
// Main thread only (SDL shows message boxes and changes the cursor there).
//
// MessageBoxA always writes the caption and the text to standard error first,
// so that a user without a screen still learns what happened; then it shows
// the box through the current presenter and returns when the user closed it.
// The presenter is a seam: tests put a recorder there so that nothing blocks.
#include "platform/win/WinTypes.h"

#include <functional>
#include <string>

// Button sets (the low four bits of the box type).
constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_OKCANCEL = 0x00000001;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_TYPEMASK = 0x0000000F;
// Icons.
constexpr UINT MB_ICONERROR = 0x00000010;
constexpr UINT MB_ICONSTOP = MB_ICONERROR;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONWARNING = 0x00000030;
constexpr UINT MB_ICONINFORMATION = 0x00000040;
constexpr UINT MB_ICONMASK = 0x000000F0;

// Results.
constexpr int IDOK = 1;

// Shows a modal box with one OK button and the icon that Type names. Text and
// Caption may be null (an empty text; the caption "Error"). A carriage return,
// alone or before a line feed, starts a new line, as it did in the platform's
// boxes. Owner is the window the box belongs to, or 0.
// Returns IDOK once the user closed the box; 0 when the box could not be shown
// (no screen: the text went to standard error only) and 0 without showing or
// writing anything for a button set other than MB_OK, which is not supported.
// A text of more than 2000 bytes is shortened to its beginning, " [...] " and
// its last 200 bytes, on the screen and on standard error alike.
int MessageBoxA(HWND Owner, const char* Text, const char* Caption, UINT Type);

// The text as a box shows it (see MessageBoxA).
std::string ShortenedForBox(const std::string& Text);

// What shows a box: gets the text and caption as MessageBoxA passes them on
// (line ends already made line feeds), returns IDOK or 0 as MessageBoxA does.
using TMessageBoxPresenter =
    std::function<int(HWND Owner, const std::string& Text, const std::string& Caption, UINT Type)>;

// Replaces the presenter; an empty one puts SDL's back. Returns the previous
// one (empty while SDL's is in place).
TMessageBoxPresenter SetMessageBoxPresenter(TMessageBoxPresenter Presenter);

// Raises (bShow TRUE) or lowers (FALSE) the cursor's display counter, which
// starts at 0; the mouse cursor is visible while the counter is 0 or more.
// Returns the new counter. Before the application's video is up only the
// counter changes; TApplication::Initialize puts the cursor in its state.
int ShowCursor(BOOL bShow);
