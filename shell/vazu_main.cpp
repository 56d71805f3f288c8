#include "shell/vazu_main.h"

#include "platform/graphics/Jpeg.h"
#include "shell/vazu.h"

#include <cstdio>
#include <exception>
#include <memory>

int vazu_main() {
    auto App = std::make_unique<TApplication>();
    if (!App->Initialize()) {
        // The show was made for a machine that always had a screen.
        std::fprintf(stderr, "vazu: no video device can be opened: %s\n",
                     App->InitializeError().c_str());
        return 1;
    }
    // The picture classes decode for the desktop's depth as it is before the
    // display takes the screen.
    SetJpegPixelFormatFromDesktop(DesktopBitsPerPixel());
    try {
        App->CreateForm(Form1);
    } catch (const std::exception& Error) {
        std::fprintf(stderr, "vazu: %s\n", Error.what());
        return 1;
    }
    App->Run();

    // Destroys the window and ThreadedTimer1 (its worker stopped and awaited).
    App.reset();
    Form1 = nullptr;
    SceneTable.clear();
    Frames.clear();
    return 0;
}
