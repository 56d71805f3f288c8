#pragma once
// The frame presenter: the application's idle step during the movie. Copies
// the frame the clock chose (Frames[ShownFrame]) to the display's back buffer
// at the top-left corner and presents it, on every call, changed or not.
// Main thread only; allocates nothing.
//
// Draws nothing before loading has finished (Started is 0). A ShownFrame
// outside Frames draws nothing and still presents; once the display has
// been released nothing at all is done.
void PresentFrame();
