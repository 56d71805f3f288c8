#pragma once
// The main window module: the window class TForm1 with its handlers, the one
// window Form1, and the state the show shares. Display, Frames, SceneTable
// and the clock state live with the code that owns them and are re-exported
// here; the rest is this module's own. All of it starts zeroed, and all of
// it belongs to the main thread.
#include "display/DisplayInstance.h" // TDisplay, TSurface, Display
#include "platform/win/Forms.h"
#include "platform/win/ThreadedTimer.h"
#include "playback/FrameList.h"     // Frames
#include "playback/PlaybackClock.h" // TickCount, Started, ...
#include "playback/SceneScript.h"   // SceneTable
#include "sound/FSound.h"

#include <memory>

class TForm1 : public TForm {
public:
    explicit TForm1(TComponent* Owner);
    ~TForm1() override;

    // 20 ms, above-normal worker priority, disabled until the loading
    // sequence enables it; owned by the form.
    TThreadedTimer* ThreadedTimer1 = nullptr;

    // Makes FormOnIdle the application's idle handler.
    void FormCreate(TObject* Sender);
    // The loading sequence (RunLoadingSequence).
    void FormShow(TObject* Sender);
    // Escape (27), whatever the modifiers, closes the main window; Key stays as it is.
    void FormKeyDown(TObject* Sender, WORD& Key, TShiftState Shift);
    // Closes the sound library, shows the cursor, releases the loading
    // surface and the display and clears both. Action is left as given.
    void FormClose(TObject* Sender, TCloseAction& Action);
    // The frame presenter (PresentFrame); Done is left true.
    void FormOnIdle(TObject* Sender, bool& Done);
    // One clock tick (ClockTick): songs on channel 1, the main window closed at the end.
    void ThreadedTimer1Timer(TObject* Sender);

protected:
    // Caption "Form1", no border, stays on top, 688 x 453 at 328,258,
    // button-face background; the handlers above; ThreadedTimer1.
    void ReadFormDescription() override;
};

// The main window; set by Application->CreateForm before its settings apply.
extern TForm1* Form1;

// The loading picture, painted with the progress line.
extern std::unique_ptr<TSurface> LoadingSurface;

// The songs; owned by the sound library, which frees them in FSOUND_Close.
extern FSOUND_SAMPLE* TitleSample;
extern FSOUND_SAMPLE* SongSample;
extern FSOUND_SAMPLE* Song1Sample;
extern FSOUND_SAMPLE* Song2Sample;
