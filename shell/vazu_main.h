#pragma once
// The program entry: start-up, the main loop, teardown. Reads no command
// line. Returns 0 when the show ends; 1 when no video device can be opened
// or the main window cannot be made (said on standard error).
int vazu_main();
