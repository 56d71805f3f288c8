#pragma once
// The application framework: components with an owner, forms (top-level SDL
// windows) and the application object with its message loop and idle step.
//
// Threads: everything here belongs to the main thread, the one that called
// TApplication::Initialize. Only TThreadedTimer's worker runs elsewhere, and
// it reaches the main thread through the message queue alone.
//
// Ownership: an owner destroys its components, newest first. The application
// owns the forms made with CreateForm and destroys them with itself. Form
// references such as `Form1` are plain pointers that the owner outlives.
//
// The loop (Run): take one waiting message and dispatch it; when none waits,
// run the idle step (OnIdle with a done flag that starts true; while it stays
// true, block until a message or a tick arrives). Ticks are messages like any
// other, so they run only here, on the main thread, never inside a handler.
// Terminate posts the quit request behind the messages already waiting; once
// it is posted the loop never idles again, and it ends when it takes it.
// (The idle wait sleeps in SDL; SDL's headless drivers have no way to sleep
// until a message comes and look every millisecond instead.)
//
// Errors: whatever a handler run by the loop throws (a key handler, a close
// handler, the idle handler, the show handler, a tick) goes to
// HandleException, whose default shows a box and lets the program go on.
#include "platform/win/VirtualKeys.h"
#include "platform/win/WinTypes.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TObject {
public:
    virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;
using TIdleEvent = std::function<void(TObject* Sender, bool& Done)>;
using TKeyEvent = std::function<void(TObject* Sender, WORD& Key, TShiftState Shift)>;
using TExceptionEvent = std::function<void(TObject* Sender, std::exception_ptr Error)>;

class TComponent : public TObject {
public:
    explicit TComponent(TComponent* Owner) : FOwner(Owner) {}
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return FOwner; }
    std::size_t ComponentCount() const { return FComponents.size(); }
    TComponent* Components(std::size_t Index) const { return FComponents.at(Index).get(); }

    // Makes a component owned by this one: T's constructor gets this as its owner.
    template <class T, class... TArgs> T* CreateComponent(TArgs&&... Args) {
        auto Component = std::make_unique<T>(this, std::forward<TArgs>(Args)...);
        T* Result = Component.get();
        FComponents.push_back(std::move(Component));
        return Result;
    }

    // Destroys the owned components, newest first, each after its own ones.
    // A class whose components call back into it runs this in its destructor,
    // while it is still whole.
    void DestroyComponents();

private:
    friend class TApplication;
    TComponent* FOwner;
    std::vector<std::unique_ptr<TComponent>> FComponents;
};

enum TCloseAction { caNone, caHide, caFree, caMinimize };
using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable };
enum TFormStyle { fsNormal, fsStayOnTop };

// A colour as forms take it: 0x00BBGGRR, or a system colour.
using TColor = std::int32_t;
constexpr TColor clSystemColor = static_cast<TColor>(0xFF000000u);
constexpr TColor clBtnFace = clSystemColor | 15; // the button-face colour
// The plain colour of a system colour (our fixed palette); other colours as they are.
COLORREF ColorToRGB(TColor Color);

// A top-level window. Settings may be changed before or after the window
// exists. The window is made hidden, on first need of its handle; showing
// runs OnShow first, to its end, and only then puts the window on the screen.
class TForm : public TComponent {
public:
    explicit TForm(TComponent* Owner);
    ~TForm() override;

    // The SDL window's number; makes the (hidden) window when there is none.
    // Throws Exception when the window system refuses the window.
    HWND Handle();
    bool HandleAllocated() const;

    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& Value);
    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    void SetLeft(int Value);
    void SetTop(int Value);
    int ClientWidth() const { return FClientWidth; }
    int ClientHeight() const { return FClientHeight; }
    void SetClientWidth(int Value);
    void SetClientHeight(int Value);
    TFormBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TFormBorderStyle Value);
    TFormStyle FormStyle() const { return FFormStyle; }
    void SetFormStyle(TFormStyle Value);
    TColor Color() const { return FColor; }
    void SetColor(TColor Value);

    bool Visible() const { return FVisible; }
    void Show();
    void Hide();

    // Closes the form: OnClose with the action caHide; caNone keeps it open.
    // The main form then ends the application (Terminate) and stays as it is;
    // any other form is hidden (caHide, caFree) or minimised (caMinimize).
    // Forms are never freed here: their owner frees them. There is no close query.
    void Close();

    TNotifyEvent OnCreate;
    TNotifyEvent OnShow;
    TKeyEvent OnKeyDown;
    TCloseEvent OnClose;

protected:
    // Applies the form description: settings, components and handlers. Runs
    // once, after the form's reference has been set and before OnCreate.
    virtual void ReadFormDescription() {}

private:
    friend class TApplication;
    void KeyDown(WORD& Key, TShiftState Shift);
    void Paint();
    void ApplyWindowStyle();

    struct TWindow;
    std::unique_ptr<TWindow> FWindow;
    std::string FCaption;
    int FLeft = 0;
    int FTop = 0;
    int FClientWidth = 320;
    int FClientHeight = 240;
    TFormBorderStyle FBorderStyle = bsSizeable;
    TFormStyle FFormStyle = fsNormal;
    TColor FColor = clBtnFace;
    bool FVisible = false;
};

class TApplication : public TComponent {
public:
    TApplication();
    ~TApplication() override;

    // Opens SDL's video and event handling. False when no video device can be
    // opened; InitializeError() then says why. SDL's headless drivers count
    // only when SDL_VIDEODRIVER names them (SDL falls back to one when there
    // is no screen). Nothing else works before it.
    bool Initialize();
    const std::string& InitializeError() const { return FInitializeError; }

    // Makes a form owned by the application: sets Reference to it, applies its
    // description, runs OnCreate (an error there goes to HandleException). The
    // first form made becomes the main form and gets its window at once.
    template <class TFormClass> void CreateForm(TFormClass*& Reference) {
        TFormClass* Form = CreateComponent<TFormClass>();
        Reference = Form;
        InitializeForm(*Form);
    }

    // Shows the main form, then runs the loop until the quit request is taken.
    void Run();
    // One turn of the loop: a waiting message, or else the idle step.
    void HandleMessage();
    // Handles every message that waits, without an idle step.
    void ProcessMessages();
    // Posts the quit request.
    void Terminate();
    bool Terminated() const { return FTerminated; }

    TForm* MainForm() const { return FMainForm; }

    // The program file's name without folder and from its first "." on, every
    // character after the first in lower case; SetTitle replaces it.
    const std::string& Title() const { return FTitle; }
    void SetTitle(const std::string& Value) { FTitle = Value; }

    // Reports the exception being handled (call it inside a catch block):
    // OnException when set, otherwise ShowException with its message.
    void HandleException(TObject* Sender);
    void HandleException(TObject* Sender, std::exception_ptr Error);
    // The default error box: the message with a full stop as MessageWithFullStop
    // says, captioned with Title, error icon, one OK button.
    void ShowException(const std::string& Message);

    TIdleEvent OnIdle;
    TExceptionEvent OnException;

private:
    friend class TForm;
    bool ProcessMessage();
    void Idle();
    void InitializeForm(TForm& Form);

    TForm* FMainForm = nullptr;
    std::string FTitle;
    std::string FInitializeError;
    bool FVideoStarted = false;
    bool FTerminated = false;
    int FQuitRequests = 0; // posted and not yet taken
};

// The one application object; set by TApplication's constructor when none
// exists yet and cleared by its destructor.
extern TApplication* Application;

// The application title for a program file (see TApplication::Title).
std::string TitleFromModuleName(const std::string& FileName);
// Message, with a full stop appended when its last character's code is above
// that of "." (46); an empty message stays empty.
std::string MessageWithFullStop(const std::string& Message);
// The message of an exception: Exception's or std::exception's text.
std::string ExceptionMessage(std::exception_ptr Error);

// The desktop's colour depth in bits per pixel (what a device context of the
// screen reports: 32 for a 24-bit colour in four bytes), or 0 when SDL's video
// is not up or knows no desktop mode. Asks SDL on every call.
int DesktopBitsPerPixel();
