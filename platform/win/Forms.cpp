#include "platform/win/Forms.h"

#include "platform/rtl/Exceptions.h"
#include "platform/win/ThreadedTimer.h"
#include "platform/win/User.h"
#include "platform/win/WinInternal.h"

#include <SDL.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <unistd.h>

TApplication* Application = nullptr;

namespace {

struct WindowDeleter {
    void operator()(SDL_Window* Window) const { SDL_DestroyWindow(Window); }
};

// Where an error goes when no loop is there to catch it.
void ReportException(TObject* Sender) {
    if (Application != nullptr) {
        Application->HandleException(Sender);
        return;
    }
    std::fprintf(stderr, "%s\n",
                 MessageWithFullStop(ExceptionMessage(std::current_exception())).c_str());
}

std::string ModuleFileName() {
    char Buffer[4096];
    const ssize_t Length = readlink("/proc/self/exe", Buffer, sizeof Buffer - 1);
    if (Length > 0)
        return std::string(Buffer, static_cast<std::size_t>(Length));
    return program_invocation_name != nullptr ? program_invocation_name : "";
}

std::size_t Utf8SequenceLength(unsigned char Lead) {
    if (Lead >= 0xF0)
        return 4;
    if (Lead >= 0xE0)
        return 3;
    if (Lead >= 0xC0)
        return 2;
    return 1;
}

} // namespace

// ---------------------------------------------------------------- helpers

std::string TitleFromModuleName(const std::string& FileName) {
    const std::size_t Slash = FileName.find_last_of("/\\");
    std::string Name = Slash == std::string::npos ? FileName : FileName.substr(Slash + 1);
    const std::size_t Dot = Name.find('.');
    if (Dot != std::string::npos)
        Name.resize(Dot);
    if (Name.empty())
        return Name;
    // The first character keeps its case; ASCII letters after it are lowered.
    for (std::size_t i = Utf8SequenceLength(static_cast<unsigned char>(Name[0])); i < Name.size();
         ++i) {
        if (Name[i] >= 'A' && Name[i] <= 'Z')
            Name[i] = static_cast<char>(Name[i] - 'A' + 'a');
    }
    return Name;
}

std::string MessageWithFullStop(const std::string& Message) {
    // A character beyond ASCII ends in a byte above 0x7F, so its code is above 46 too.
    if (!Message.empty() && static_cast<unsigned char>(Message.back()) > '.')
        return Message + '.';
    return Message;
}

std::string ExceptionMessage(std::exception_ptr Error) {
    try {
        if (Error)
            std::rethrow_exception(Error);
    } catch (const std::exception& E) {
        return E.what();
    } catch (...) {
    }
    return "Unbekannte Ausnahme";
}

COLORREF ColorToRGB(TColor Color) {
    if ((Color & clSystemColor) != clSystemColor)
        return static_cast<COLORREF>(Color) & 0x00FFFFFF;
    switch (Color & 0xFF) {
    case 15:
        return RGB(240, 240, 240); // button face
    default:
        return RGB(255, 255, 255);
    }
}

int DesktopBitsPerPixel() {
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0)
        return 0;
    SDL_DisplayMode Mode;
    if (SDL_GetDesktopDisplayMode(0, &Mode) != 0)
        return 0;
    // A screen device context counts the padding byte of 24-bit colour in four bytes.
    if (SDL_ISPIXELFORMAT_INDEXED(Mode.format))
        return SDL_BITSPERPIXEL(Mode.format);
    return SDL_BYTESPERPIXEL(Mode.format) * 8;
}

// ---------------------------------------------------------------- TComponent

TComponent::~TComponent() {
    DestroyComponents();
}

void TComponent::DestroyComponents() {
    while (!FComponents.empty()) {
        std::unique_ptr<TComponent> Last = std::move(FComponents.back());
        FComponents.pop_back();
        Last->DestroyComponents(); // while it is still whole
        Last.reset();
    }
}

// ---------------------------------------------------------------- TForm

struct TForm::TWindow {
    std::unique_ptr<SDL_Window, WindowDeleter> Window;
};

TForm::TForm(TComponent* Owner) : TComponent(Owner) {}

TForm::~TForm() {
    DestroyComponents();
    if (auto* App = dynamic_cast<TApplication*>(Owner()); App != nullptr && App->FMainForm == this)
        App->FMainForm = nullptr;
}

bool TForm::HandleAllocated() const {
    return FWindow != nullptr;
}

HWND TForm::Handle() {
    if (!FWindow) {
        Uint32 Flags = SDL_WINDOW_HIDDEN;
        if (FBorderStyle == bsNone)
            Flags |= SDL_WINDOW_BORDERLESS;
        if (FBorderStyle == bsSizeable)
            Flags |= SDL_WINDOW_RESIZABLE;
        if (FFormStyle == fsStayOnTop)
            Flags |= SDL_WINDOW_ALWAYS_ON_TOP;
        SDL_Window* Window =
            SDL_CreateWindow(FCaption.c_str(), FLeft, FTop, FClientWidth, FClientHeight, Flags);
        if (Window == nullptr)
            throw Exception(std::string("Fehler beim Erzeugen des Fensters: ") + SDL_GetError());
        FWindow = std::make_unique<TWindow>();
        FWindow->Window.reset(Window);
    }
    return SDL_GetWindowID(FWindow->Window.get());
}

void TForm::SetCaption(const std::string& Value) {
    FCaption = Value;
    if (FWindow)
        SDL_SetWindowTitle(FWindow->Window.get(), FCaption.c_str());
}

void TForm::SetLeft(int Value) {
    FLeft = Value;
    if (FWindow)
        SDL_SetWindowPosition(FWindow->Window.get(), FLeft, FTop);
}

void TForm::SetTop(int Value) {
    FTop = Value;
    if (FWindow)
        SDL_SetWindowPosition(FWindow->Window.get(), FLeft, FTop);
}

void TForm::SetClientWidth(int Value) {
    FClientWidth = Value;
    if (FWindow)
        SDL_SetWindowSize(FWindow->Window.get(), FClientWidth, FClientHeight);
}

void TForm::SetClientHeight(int Value) {
    FClientHeight = Value;
    if (FWindow)
        SDL_SetWindowSize(FWindow->Window.get(), FClientWidth, FClientHeight);
}

void TForm::SetBorderStyle(TFormBorderStyle Value) {
    FBorderStyle = Value;
    ApplyWindowStyle();
}

void TForm::SetFormStyle(TFormStyle Value) {
    FFormStyle = Value;
    ApplyWindowStyle();
}

void TForm::ApplyWindowStyle() {
    if (!FWindow)
        return;
    SDL_Window* Window = FWindow->Window.get();
    SDL_SetWindowBordered(Window, FBorderStyle == bsNone ? SDL_FALSE : SDL_TRUE);
    SDL_SetWindowResizable(Window, FBorderStyle == bsSizeable ? SDL_TRUE : SDL_FALSE);
    SDL_SetWindowAlwaysOnTop(Window, FFormStyle == fsStayOnTop ? SDL_TRUE : SDL_FALSE);
}

void TForm::SetColor(TColor Value) {
    FColor = Value;
    if (FVisible)
        Paint();
}

void TForm::Show() {
    if (FVisible) {
        if (FWindow)
            SDL_RaiseWindow(FWindow->Window.get());
        return;
    }
    FVisible = true;
    // The show handler may need the window (e.g. to take the screen with it).
    Handle();
    try {
        if (OnShow)
            OnShow(this);
    } catch (...) {
        // Reported, and the window is shown all the same.
        ReportException(this);
    }
    if (!FVisible || !FWindow)
        return; // hidden or gone meanwhile
    SDL_ShowWindow(FWindow->Window.get());
    SDL_RaiseWindow(FWindow->Window.get());
}

void TForm::Hide() {
    FVisible = false;
    if (FWindow)
        SDL_HideWindow(FWindow->Window.get());
}

void TForm::Close() {
    TCloseAction Action = caHide;
    if (OnClose)
        OnClose(this, Action);
    if (Action == caNone)
        return;
    if (Application != nullptr && Application->MainForm() == this) {
        Application->Terminate();
    } else if (Action == caMinimize) {
        if (FWindow)
            SDL_MinimizeWindow(FWindow->Window.get());
    } else {
        Hide();
    }
}

void TForm::KeyDown(WORD& Key, TShiftState Shift) {
    if (OnKeyDown)
        OnKeyDown(this, Key, Shift);
}

void TForm::Paint() {
    if (!FWindow || !FVisible)
        return;
    SDL_Window* Window = FWindow->Window.get();
    // Once something renders into the window (the display), its picture is theirs.
    if (SDL_GetRenderer(Window) != nullptr)
        return;
    SDL_Surface* Surface = SDL_GetWindowSurface(Window);
    if (Surface == nullptr)
        return;
    const COLORREF Colour = ColorToRGB(FColor);
    SDL_FillRect(
        Surface, nullptr,
        SDL_MapRGB(Surface->format, GetRValue(Colour), GetGValue(Colour), GetBValue(Colour)));
    SDL_UpdateWindowSurface(Window);
}

// ---------------------------------------------------------------- TApplication

TApplication::TApplication() : TComponent(nullptr), FTitle(TitleFromModuleName(ModuleFileName())) {
    if (Application == nullptr)
        Application = this;
}

TApplication::~TApplication() {
    DestroyComponents(); // the forms, and with them their timers
    FMainForm = nullptr;
    if (FVideoStarted)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    if (Application == this)
        Application = nullptr;
}

bool TApplication::Initialize() {
    if (FVideoStarted)
        return true;
    // A poll cycle's end marker would make an empty-looking queue while the
    // quit request still waits in it; the loop must never idle then.
    SDL_SetHint(SDL_HINT_POLL_SENTINEL, "0");
    // Closing the window is a close request of its own, not also a quit.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        FInitializeError = SDL_GetError();
        return false;
    }
    // With no screen at all SDL falls back to a headless driver: nobody would
    // see the window or could press a key. Only a driver asked for by name
    // (tests, SDL_VIDEODRIVER=offscreen) counts.
    const char* Driver = SDL_GetCurrentVideoDriver();
    const char* Requested = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    if (Driver != nullptr &&
        (SDL_strcasecmp(Driver, "offscreen") == 0 || SDL_strcasecmp(Driver, "dummy") == 0) &&
        (Requested == nullptr || SDL_strcasestr(Requested, Driver) == nullptr)) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        FInitializeError = std::string("no screen found; SDL offers only its headless \"") +
                           Driver + "\" driver (set SDL_VIDEODRIVER=" + Driver +
                           " to run without a screen)";
        return false;
    }
    FVideoStarted = true;
    SDL_EventState(SDL_POLLSENTINEL, SDL_DISABLE);
    SDL_StopTextInput(); // no text fields; key presses are all we take
    // Registers our message kinds, and drops any an earlier application of
    // this process left (a second quit request, a tick of a timer now gone).
    SDL_FlushEvents(std::min(TickMessage(), QuitMessage()), std::max(TickMessage(), QuitMessage()));
    ApplyCursorCounter();
    return true;
}

void TApplication::InitializeForm(TForm& Form) {
    Form.ReadFormDescription();
    try {
        if (Form.OnCreate)
            Form.OnCreate(&Form);
    } catch (...) {
        HandleException(&Form);
    }
    if (FMainForm == nullptr) {
        Form.Handle();
        FMainForm = &Form;
    }
}

void TApplication::Run() {
    if (FMainForm != nullptr)
        FMainForm->Show();
    while (!FTerminated) {
        try {
            HandleMessage();
        } catch (...) {
            HandleException(this);
        }
    }
}

void TApplication::HandleMessage() {
    if (ProcessMessage())
        return;
    // A quit request posted and not seen in the queue: it ends the loop all
    // the same, and no idle step may come after the close that posted it.
    if (FQuitRequests > 0) {
        FQuitRequests = 0;
        FTerminated = true;
        return;
    }
    Idle();
}

void TApplication::ProcessMessages() {
    while (!FTerminated && ProcessMessage()) {
    }
}

void TApplication::Terminate() {
    ++FQuitRequests;
    SDL_Event Event{};
    Event.type = QuitMessage();
    SDL_PushEvent(&Event);
}

namespace {
TForm* FindForm(const TComponent& Owner, Uint32 WindowId) {
    for (std::size_t i = 0; i < Owner.ComponentCount(); ++i) {
        auto* Form = dynamic_cast<TForm*>(Owner.Components(i));
        if (Form != nullptr && Form->HandleAllocated() && Form->Handle() == WindowId)
            return Form;
    }
    return nullptr;
}
} // namespace

bool TApplication::ProcessMessage() {
    SDL_Event Event;
    if (SDL_PollEvent(&Event) == 0)
        return false;
    if (Event.type == QuitMessage()) {
        if (FQuitRequests > 0)
            --FQuitRequests;
        FTerminated = true;
        return true;
    }
    if (Event.type == TickMessage()) {
        TThreadedTimer::DeliverTick(
            static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(Event.user.data1)),
            static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(Event.user.data2)));
        return true;
    }
    switch (Event.type) {
    case SDL_QUIT: // the window system asks us to end (also SIGINT, SIGTERM)
        if (FMainForm != nullptr)
            FMainForm->Close();
        else
            Terminate();
        break;
    case SDL_WINDOWEVENT:
        if (TForm* Form = FindForm(*this, Event.window.windowID)) {
            if (Event.window.event == SDL_WINDOWEVENT_CLOSE)
                Form->Close();
            else if (Event.window.event == SDL_WINDOWEVENT_EXPOSED ||
                     Event.window.event == SDL_WINDOWEVENT_SHOWN)
                Form->Paint();
        }
        break;
    case SDL_KEYDOWN:
        if (TForm* Form = FindForm(*this, Event.key.windowID)) {
            WORD Key = VirtualKeyFromKeycode(Event.key.keysym.sym);
            if (Key != 0)
                Form->KeyDown(Key, ShiftStateFromKeymod(Event.key.keysym.mod));
        }
        break;
    default:
        break;
    }
    return true;
}

void TApplication::Idle() {
    bool Done = true;
    if (OnIdle)
        OnIdle(this, Done);
    if (!Done)
        return;
    // Blocks until a message (a tick included) waits, leaving it in the queue.
    if (SDL_WaitEvent(nullptr) == 0)
        SDL_Delay(1); // the queue failed: do not spin
}

void TApplication::HandleException(TObject* Sender) {
    HandleException(Sender, std::current_exception());
}

void TApplication::HandleException(TObject* Sender, std::exception_ptr Error) {
    if (OnException) {
        OnException(Sender, Error);
        return;
    }
    ShowException(ExceptionMessage(Error));
}

void TApplication::ShowException(const std::string& Message) {
    const HWND Owner =
        FMainForm != nullptr && FMainForm->HandleAllocated() ? FMainForm->Handle() : 0;
    MessageBoxA(Owner, MessageWithFullStop(Message).c_str(), FTitle.c_str(), MB_OK | MB_ICONSTOP);
}
