#pragma once
// An application on SDL's headless video driver, message boxes recorded
// instead of shown, and helpers that put window-system messages in the queue.
#include "platform/win/Forms.h"
#include "platform/win/ThreadedTimer.h"
#include "platform/win/User.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

struct RecordedBox {
    HWND Owner;
    std::string Text;
    std::string Caption;
    UINT Type;
};

class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A plain software window surface: the headless driver's accelerated
        // one loads a GL stack that a sanitizer build reports as leaking.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        App = std::make_unique<TApplication>();
        ASSERT_EQ(Application, App.get());
        ASSERT_TRUE(App->Initialize()) << App->InitializeError();
        SetMessageBoxPresenter(
            [this](HWND Owner, const std::string& Text, const std::string& Caption, UINT Type) {
                Boxes.push_back({Owner, Text, Caption, Type});
                return IDOK;
            });
    }
    void TearDown() override {
        App.reset();
        SetMessageBoxPresenter(nullptr);
    }

    std::unique_ptr<TApplication> App;
    std::vector<RecordedBox> Boxes;
};

inline void PushKey(HWND Window, SDL_Keycode Key, Uint16 Modifiers = KMOD_NONE) {
    SDL_Event Event{};
    Event.type = SDL_KEYDOWN;
    Event.key.windowID = Window;
    Event.key.state = SDL_PRESSED;
    Event.key.keysym.sym = Key;
    Event.key.keysym.mod = Modifiers;
    SDL_PushEvent(&Event);
}

inline void PushWindowEvent(HWND Window, Uint8 What) {
    SDL_Event Event{};
    Event.type = SDL_WINDOWEVENT;
    Event.window.windowID = Window;
    Event.window.event = What;
    SDL_PushEvent(&Event);
}

inline void PushQuit() {
    SDL_Event Event{};
    Event.type = SDL_QUIT;
    SDL_PushEvent(&Event);
}

inline void SleepMs(int Milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(Milliseconds));
}

inline bool WindowShown(HWND Window) {
    SDL_Window* SdlWindow = SDL_GetWindowFromID(Window);
    return SdlWindow != nullptr && (SDL_GetWindowFlags(SdlWindow) & SDL_WINDOW_SHOWN) != 0;
}
