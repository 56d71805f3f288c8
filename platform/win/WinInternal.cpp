#include "platform/win/WinInternal.h"

#include <SDL.h>

namespace {
std::uint32_t FirstMessage() {
    // Function-local static: registered once even when a worker asks first.
    static const std::uint32_t First = [] {
        const std::uint32_t Registered = SDL_RegisterEvents(2);
        // All user kinds taken by someone else: share the first two.
        return Registered == static_cast<std::uint32_t>(-1) ? std::uint32_t{SDL_USEREVENT}
                                                            : Registered;
    }();
    return First;
}
} // namespace

std::uint32_t TickMessage() {
    return FirstMessage();
}
std::uint32_t QuitMessage() {
    return FirstMessage() + 1;
}
