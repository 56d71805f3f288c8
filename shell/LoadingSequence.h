#pragma once
// The start-up loading sequence: the main window's show handler. Runs once,
// on the main thread, before the window appears and before any message is
// handled. It takes the screen, starts the sound and the title song, loads
// every frame behind a progress line, loads the songs and the scene script,
// and starts the clock and the first song. Nothing it raises is caught here:
// errors reach the application's default error handler and the show stalls
// where it was (Started stays 0, the timer stays off).
#include "platform/win/WinTypes.h"

#include <cstdint>
#include <string>

class TForm1;

void RunLoadingSequence(TForm1& Form);

// The progress step, called by the frame-list reader after each picture with
// one more than the pictures loaded so far: paints the progress line onto the
// loading picture and presents it.
void ShowProgress(std::int32_t Count);

// The percentage the progress line shows for Count: 242 frames are 100 %.
long ProgressPercent(std::int32_t Count);

// The display error box: Prefix, ": ", a carriage return and the error's
// text, captioned with the main window's caption. Returns when it is closed.
void ShowDisplayError(HRESULT Result, const std::string& Prefix);
