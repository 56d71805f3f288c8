#pragma once
// The frame list "data\frames.dat": one JPEG picture name per line, in the
// order the scene script numbers them. Read once on the main thread, after
// the display exists and before the clock starts; only read after.
#include "display/DDUtil.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The frame surfaces, indexed from 0 in frame-list order. A picture that
// failed to load leaves its element empty.
extern std::vector<std::unique_ptr<TSurface>> Frames;

// Called after each picture with one more than the number loaded so far.
using TProgressStep = std::function<void(std::int32_t Count)>;

// Loads the picture named FileName into Surface; raises on failure.
using TPictureLoader = std::function<void(std::unique_ptr<TSurface>& Surface, const std::string& FileName)>;

// Fills Frames from "data\frames.dat": for each line, Frames grows by one
// and the picture "data/" + line (exactly as read) is loaded into the new
// element, then ProgressStep runs with 2, 3, 4, ... Raises the runtime's
// file errors and the picture loader's errors; Frames keeps what it got.
void ReadFrameList(const TProgressStep& ProgressStep);

// The same with another list file and picture loader (tests, tools).
void ReadFrameListFrom(const std::string& ListName, const TPictureLoader& Load,
                       const TProgressStep& ProgressStep);
