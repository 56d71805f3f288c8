#pragma once
// The picture loader: one JPEG file into a new off-screen TSurface of the
// picture's own size, in the display's pixel format. Main thread only, after
// Display (display/DisplayInstance.h) has been created.
#include "display/DDUtil.h"

#include <memory>
#include <string>

// Decodes FileName (used as given; a backslash separates folders) and stores
// a new TSurface holding the picture in Surface. Raises EFOpenError,
// EReadError or EJPEG (platform/graphics), or EOutOfMemory; Surface is written
// only after the picture is decoded, so after an error it holds what it held
// before. A surface the display refuses to make is not reported: Surface then
// holds a TSurface without a DirectDraw surface.
void LoadJpegSurface(std::unique_ptr<TSurface>& Surface, const std::string& FileName);
