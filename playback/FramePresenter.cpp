#include "playback/FramePresenter.h"

#include "display/DisplayInstance.h"
#include "playback/FrameList.h"
#include "playback/PlaybackClock.h"

void PresentFrame() {
    if (Started == 0) return;
    // The close handler releases the display; an idle step after it must not draw.
    if (!Display) return;
    // An index the frame list does not hold is passed on as an empty
    // variable: the display then draws nothing.
    static const std::unique_ptr<TSurface> NoFrame;
    const bool inList = ShownFrame >= 0 && static_cast<std::size_t>(ShownFrame) < Frames.size();
    Display->BlitSurface(0, 0, inList ? Frames[static_cast<std::size_t>(ShownFrame)] : NoFrame,
                         nullptr);
    Display->ShowBackBuffer();
}
