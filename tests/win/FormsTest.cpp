// Forms and the application object outside the loop's ordering: the title
// and full-stop rules, message boxes, the cursor counter, window settings.
#include "WinTestSupport.h"

namespace {

TEST(TitleFromModuleName, IsTheFileNameUpToItsFirstDotWithTheRestLowered) {
    struct Case {
        const char* FileName;
        const char* Title;
    };
    const Case Cases[] = {
        {"/usr/local/bin/vazu", "vazu"},
        {"VAZU.EXE", "Vazu"},
        {"C:\\Programme\\Vazu\\VAZU.EXE", "Vazu"},
        {"build/Show.Release.bin", "Show"},
        {"MyShow", "Myshow"},
        {"/opt/x/.hidden", ""},
        {"", ""},
        {"Ärger.exe", "Ärger"},
        {"ÄRGER", "Ärger"},
        {"/dir.with.dots/PRG", "Prg"},
    };
    for (const Case& C : Cases)
        EXPECT_EQ(TitleFromModuleName(C.FileName), C.Title) << "file name: " << C.FileName;
}

TEST(MessageWithFullStop, IsAppendedWhenTheLastCharacterIsAboveTheFullStop) {
    struct Case {
        const char* Message;
        const char* Shown;
    };
    const Case Cases[] = {
        {"Datei nicht gefunden", "Datei nicht gefunden."},
        {"Ende.", "Ende."},
        {"Was?", "Was?."},          // '?' is 63
        {"Pfad c:/", "Pfad c:/."},  // '/' is 47
        {"(Klammer)", "(Klammer)"}, // ')' is 41
        {"Strich-", "Strich-"},     // '-' is 45
        {"Komma,", "Komma,"},       // ',' is 44
        {"Leer ", "Leer "},
        {"JPEG-Fehler #53", "JPEG-Fehler #53."},
        {"Fehler bei Bereichsprüfung", "Fehler bei Bereichsprüfung."},
        {"Größe: Maß", "Größe: Maß."},
        {"", ""},
    };
    for (const Case& C : Cases)
        EXPECT_EQ(MessageWithFullStop(C.Message), C.Shown) << "message: \"" << C.Message << "\"";
}

TEST(MessageBoxA, WritesCaptionAndTextToStandardErrorThenAsksThePresenter) {
    std::vector<RecordedBox> Boxes;
    SetMessageBoxPresenter(
        [&](HWND Owner, const std::string& Text, const std::string& Caption, UINT Type) {
            Boxes.push_back({Owner, Text, Caption, Type});
            return IDOK;
        });
    ::testing::internal::CaptureStderr();
    const int Result = MessageBoxA(7, "CreateFullScreenDisplay: \rGeneric failure.", "Form1",
                                   MB_OK | MB_ICONERROR);
    const std::string Written = ::testing::internal::GetCapturedStderr();
    SetMessageBoxPresenter(nullptr);

    EXPECT_EQ(Result, IDOK);
    // A carriage return breaks the line, on the screen and on the terminal.
    EXPECT_EQ(Written, "Form1: CreateFullScreenDisplay: \nGeneric failure.\n");
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Owner, 7u);
    EXPECT_EQ(Boxes[0].Text, "CreateFullScreenDisplay: \nGeneric failure.");
    EXPECT_EQ(Boxes[0].Caption, "Form1");
    EXPECT_EQ(Boxes[0].Type, MB_OK | MB_ICONERROR);
}

TEST(MessageBoxA, RefusesButtonSetsOtherThanOk) {
    int Asked = 0;
    SetMessageBoxPresenter([&](HWND, const std::string&, const std::string&, UINT) {
        ++Asked;
        return IDOK;
    });
    for (UINT Type : {MB_OKCANCEL, MB_YESNO | MB_ICONQUESTION}) {
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(MessageBoxA(0, "Text", "Caption", Type), 0) << "type " << Type;
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    }
    SetMessageBoxPresenter(nullptr);
    EXPECT_EQ(Asked, 0);
}

using HeadlessTest = AppTest;

TEST_F(HeadlessTest, WithoutAScreenABoxGoesToStandardErrorAloneAndDoesNotWait) {
    SetMessageBoxPresenter(nullptr); // SDL's own, on the headless driver
    ::testing::internal::CaptureStderr();
    const int Result = MessageBoxA(0, nullptr, nullptr, MB_OK);
    const std::string Written = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(Result, 0);
    EXPECT_EQ(Written, "Error: \n");
}

TEST_F(HeadlessTest, TheCursorIsShownWhileItsCounterIsZeroOrMore) {
    struct Step {
        BOOL Show;
        int Counter;
    };
    const Step Steps[] = {{FALSE, -1}, {FALSE, -2}, {TRUE, -1}, {TRUE, 0}, {TRUE, 1}, {FALSE, 0}};
    for (const Step& S : Steps) {
        SCOPED_TRACE("to " + std::to_string(S.Counter));
        EXPECT_EQ(ShowCursor(S.Show), S.Counter);
        EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), S.Counter >= 0 ? SDL_ENABLE : SDL_DISABLE);
    }
}

// Settings from a form description, as the program's main window has them.
class SetUpForm : public TForm {
public:
    using TForm::TForm;

protected:
    void ReadFormDescription() override {
        SetCaption("Form1");
        SetBorderStyle(bsNone);
        SetFormStyle(fsStayOnTop);
        SetLeft(328);
        SetTop(258);
        SetClientWidth(688);
        SetClientHeight(453);
    }
};

TEST_F(HeadlessTest, TheMainFormsWindowIsMadeHiddenWithTheSettingsOfItsDescription) {
    SetUpForm* Form = nullptr;
    App->CreateForm(Form);
    EXPECT_EQ(App->MainForm(), Form);
    ASSERT_TRUE(Form->HandleAllocated()) << "the main form gets its window at once";
    EXPECT_FALSE(Form->Visible());
    SDL_Window* Window = SDL_GetWindowFromID(Form->Handle());
    ASSERT_NE(Window, nullptr);
    EXPECT_STREQ(SDL_GetWindowTitle(Window), "Form1");
    const Uint32 Flags = SDL_GetWindowFlags(Window);
    EXPECT_TRUE(Flags & SDL_WINDOW_BORDERLESS);
    EXPECT_TRUE(Flags & SDL_WINDOW_ALWAYS_ON_TOP);
    EXPECT_TRUE(Flags & SDL_WINDOW_HIDDEN);
    EXPECT_FALSE(Flags & SDL_WINDOW_RESIZABLE);
    int X = 0, Y = 0, W = 0, H = 0;
    SDL_GetWindowPosition(Window, &X, &Y);
    SDL_GetWindowSize(Window, &W, &H);
    EXPECT_EQ(X, 328);
    EXPECT_EQ(Y, 258);
    EXPECT_EQ(W, 688);
    EXPECT_EQ(H, 453);
}

TEST_F(HeadlessTest, AShownFormIsPaintedInItsColourUntilSomethingRendersIntoIt) {
    TForm* Form = nullptr;
    App->CreateForm(Form);
    Form->SetClientWidth(40);
    Form->SetClientHeight(30);
    Form->Show();
    App->ProcessMessages();
    SDL_Window* Window = SDL_GetWindowFromID(Form->Handle());
    SDL_Surface* Surface = SDL_GetWindowSurface(Window);
    ASSERT_NE(Surface, nullptr);
    Uint8 R = 0, G = 0, B = 0;
    ASSERT_EQ(Surface->format->BytesPerPixel, 4);
    ASSERT_EQ(SDL_LockSurface(Surface), 0);
    SDL_GetRGB(static_cast<Uint32*>(Surface->pixels)[5 * Surface->pitch / 4 + 5], Surface->format,
               &R, &G, &B);
    SDL_UnlockSurface(Surface);
    const COLORREF Face = ColorToRGB(clBtnFace);
    EXPECT_EQ(R, GetRValue(Face));
    EXPECT_EQ(G, GetGValue(Face));
    EXPECT_EQ(B, GetBValue(Face));
}

// A form that notes whether its reference was set when its description ran.
class DescribedForm;
DescribedForm* DescribedReference = nullptr;
std::vector<std::string> DescribedLog;

class DescribedForm : public TForm {
public:
    using TForm::TForm;

protected:
    void ReadFormDescription() override {
        DescribedLog.push_back(DescribedReference == this ? "description, reference set"
                                                          : "description, no reference");
        OnCreate = [](TObject* Sender) {
            DescribedLog.push_back(Sender == DescribedReference ? "create"
                                                                : "create, other sender");
            throw std::runtime_error("in OnCreate");
        };
    }
};

TEST_F(HeadlessTest, CreateFormSetsTheReferenceBeforeTheDescriptionAndRunsOnCreateAfterIt) {
    DescribedLog.clear();
    DescribedReference = nullptr;
    App->CreateForm(DescribedReference);
    EXPECT_EQ(DescribedLog, (std::vector<std::string>{"description, reference set", "create"}));
    EXPECT_EQ(App->MainForm(), DescribedReference);
    // An error in OnCreate is reported, not thrown.
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "in OnCreate.");

    TForm* Second = nullptr;
    App->CreateForm(Second);
    EXPECT_EQ(App->MainForm(), DescribedReference) << "the first form stays the main form";
    DescribedReference = nullptr;
}

TEST_F(HeadlessTest, DesktopDepthIsKnownOnceTheVideoIsUp) {
    EXPECT_GT(DesktopBitsPerPixel(), 0);
}

TEST(DesktopDepth, IsZeroWithoutVideo) {
    ASSERT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
    EXPECT_EQ(DesktopBitsPerPixel(), 0);
}

} // namespace

TEST(MessageBoxA, ShortensTextsNoBoxCanHold) {
    std::vector<RecordedBox> Boxes;
    SetMessageBoxPresenter([&](HWND Owner, const std::string& Text, const std::string& Caption,
                               UINT Type) {
        Boxes.push_back({Owner, Text, Caption, Type});
        return IDOK;
    });
    // A conversion error quoting a 20 MB word, with umlauts at the cut.
    const std::string Word(20'000'000, '9');
    const std::string Message = "'" + Word + "' ist kein gültiger Integerwert.";
    ::testing::internal::CaptureStderr();
    MessageBoxA(0, Message.c_str(), "vazu", MB_OK | MB_ICONERROR);
    const std::string Written = ::testing::internal::GetCapturedStderr();
    SetMessageBoxPresenter(nullptr);

    ASSERT_EQ(Boxes.size(), 1u);
    const std::string& Shown = Boxes[0].Text;
    EXPECT_LE(Shown.size(), 2000u);
    EXPECT_EQ(Shown.substr(0, 10), "'999999999");
    EXPECT_NE(Shown.find(" [...] "), std::string::npos);
    EXPECT_TRUE(Shown.ends_with("9' ist kein gültiger Integerwert.")) << Shown.substr(Shown.size() - 40);
    EXPECT_EQ(Written, "vazu: " + Shown + "\n");

    // Short texts are left alone; a cut never splits a character.
    EXPECT_EQ(ShortenedForBox("Datei nicht gefunden."), "Datei nicht gefunden.");
    const std::string Umlauts = [] {
        std::string s;
        for (int i = 0; i < 1500; ++i) s += "ü";
        return s;
    }();
    const std::string Cut = ShortenedForBox(Umlauts);
    const std::size_t Gap = Cut.find(" [...] ");
    ASSERT_NE(Gap, std::string::npos);
    EXPECT_EQ(Gap % 2, 0u);
    EXPECT_EQ((Cut.size() - Gap - 7) % 2, 0u);
}
