#include "shell/vazu.h"

#include "platform/win/User.h"
#include "playback/FramePresenter.h"
#include "shell/LoadingSequence.h"

TForm1* Form1 = nullptr;
std::unique_ptr<TSurface> LoadingSurface;
FSOUND_SAMPLE* TitleSample = nullptr;
FSOUND_SAMPLE* SongSample = nullptr;
FSOUND_SAMPLE* Song1Sample = nullptr;
FSOUND_SAMPLE* Song2Sample = nullptr;

namespace {

// What the clock reaches outside playback: the songs and the close.
const ClockOutputs& TickOutputs() {
    static const ClockOutputs Outputs{
        [](SongCue Cue) {
            FSOUND_SAMPLE* Sample = Cue == SongCue::Song1   ? Song1Sample
                                    : Cue == SongCue::Title ? TitleSample
                                                            : Song2Sample;
            FSOUND_PlaySound(1, Sample);
        },
        [] { Form1->Close(); },
    };
    return Outputs;
}

} // namespace

TForm1::TForm1(TComponent* Owner) : TForm(Owner) {}

TForm1::~TForm1() {
    // The timer's last tick may still call back into this form.
    DestroyComponents();
}

void TForm1::ReadFormDescription() {
    SetCaption("Form1");
    SetBorderStyle(bsNone);
    SetFormStyle(fsStayOnTop);
    SetLeft(328);
    SetTop(258);
    SetClientWidth(688);
    SetClientHeight(453);
    SetColor(clBtnFace);
    OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
    OnShow = [this](TObject* Sender) { FormShow(Sender); };
    OnKeyDown = [this](TObject* Sender, WORD& Key, TShiftState Shift) {
        FormKeyDown(Sender, Key, Shift);
    };
    OnClose = [this](TObject* Sender, TCloseAction& Action) { FormClose(Sender, Action); };

    ThreadedTimer1 = CreateComponent<TThreadedTimer>();
    ThreadedTimer1->SetInterval(20);
    ThreadedTimer1->SetThreadPriority(tpHigher);
    ThreadedTimer1->OnTimer = [this](TObject* Sender) { ThreadedTimer1Timer(Sender); };
}

void TForm1::FormCreate(TObject*) {
    Application->OnIdle = [this](TObject* Sender, bool& Done) { FormOnIdle(Sender, Done); };
}

void TForm1::FormShow(TObject*) {
    RunLoadingSequence(*this);
}

void TForm1::FormKeyDown(TObject*, WORD& Key, TShiftState) {
    if (Key == VK_ESCAPE)
        Form1->Close();
}

void TForm1::FormClose(TObject*, TCloseAction&) {
    FSOUND_Close();
    ShowCursor(TRUE);
    LoadingSurface.reset();
    Display.reset();
}

void TForm1::FormOnIdle(TObject*, bool&) {
    PresentFrame();
}

void TForm1::ThreadedTimer1Timer(TObject*) {
    ClockTick(TickOutputs());
}
