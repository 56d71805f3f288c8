#include "platform/win/User.h"

#include "platform/win/WinInternal.h"

#include <SDL.h>

#include <cstdio>
#include <cstring>

namespace {

TMessageBoxPresenter& CurrentPresenter() {
    static TMessageBoxPresenter Presenter;
    return Presenter;
}

// The platform's boxes broke lines at a carriage return; SDL's and a
// terminal's break at a line feed (a bare CR would overwrite the line).
std::string WithLineFeeds(const std::string& Text) {
    std::string Result;
    Result.reserve(Text.size());
    for (std::size_t i = 0; i < Text.size(); ++i) {
        if (Text[i] == '\r') {
            Result += '\n';
            if (i + 1 < Text.size() && Text[i + 1] == '\n')
                ++i;
        } else {
            Result += Text[i];
        }
    }
    return Result;
}

int ShowSdlMessageBox(HWND Owner, const std::string& Text, const std::string& Caption, UINT Type) {
    // Headless drivers have no box of their own, and SDL would fall back to
    // another window system's box that may wait for a user who is not there.
    if (const char* Driver = SDL_GetCurrentVideoDriver()) {
        if (std::strcmp(Driver, "offscreen") == 0 || std::strcmp(Driver, "dummy") == 0)
            return 0;
    }
    Uint32 Flags = SDL_MESSAGEBOX_INFORMATION;
    switch (Type & MB_ICONMASK) {
    case MB_ICONERROR:
        Flags = SDL_MESSAGEBOX_ERROR;
        break;
    case MB_ICONWARNING:
        Flags = SDL_MESSAGEBOX_WARNING;
        break;
    default:
        break;
    }
    SDL_Window* Parent = Owner != 0 ? SDL_GetWindowFromID(Owner) : nullptr;
    return SDL_ShowSimpleMessageBox(Flags, Caption.c_str(), Text.c_str(), Parent) == 0 ? IDOK : 0;
}

int CursorCounter = 0;

// A box shows at most this much text: a message quoting a 20 MB line of
// broken data would make a box no screen can hold and flood the terminal.
constexpr std::size_t MaxBoxText = 2000;
constexpr std::size_t KeptTail = 200;

// Never cut inside a UTF-8 sequence: move back to the start of a character.
std::size_t CharacterStart(const std::string& Text, std::size_t At) {
    while (At > 0 && (static_cast<unsigned char>(Text[At]) & 0xC0) == 0x80)
        --At;
    return At;
}

} // namespace

std::string ShortenedForBox(const std::string& Text) {
    if (Text.size() <= MaxBoxText)
        return Text;
    const std::string Gap = " [...] ";
    const std::size_t HeadEnd = CharacterStart(Text, MaxBoxText - KeptTail - Gap.size());
    const std::size_t TailStart = CharacterStart(Text, Text.size() - KeptTail);
    return Text.substr(0, HeadEnd) + Gap + Text.substr(TailStart);
}

int MessageBoxA(HWND Owner, const char* Text, const char* Caption, UINT Type) {
    if ((Type & MB_TYPEMASK) != MB_OK)
        return 0;
    const std::string BoxText = ShortenedForBox(WithLineFeeds(Text != nullptr ? Text : ""));
    const std::string BoxCaption = WithLineFeeds(Caption != nullptr ? Caption : "Error");
    std::fprintf(stderr, "%s: %s\n", BoxCaption.c_str(), BoxText.c_str());
    std::fflush(stderr);
    const TMessageBoxPresenter& Presenter = CurrentPresenter();
    return Presenter ? Presenter(Owner, BoxText, BoxCaption, Type)
                     : ShowSdlMessageBox(Owner, BoxText, BoxCaption, Type);
}

TMessageBoxPresenter SetMessageBoxPresenter(TMessageBoxPresenter Presenter) {
    TMessageBoxPresenter Previous = std::move(CurrentPresenter());
    CurrentPresenter() = std::move(Presenter);
    return Previous;
}

int ShowCursor(BOOL bShow) {
    CursorCounter += bShow ? 1 : -1;
    ApplyCursorCounter();
    return CursorCounter;
}

void ApplyCursorCounter() {
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0)
        SDL_ShowCursor(CursorCounter >= 0 ? SDL_ENABLE : SDL_DISABLE);
}
