// SDL's input events in the window layer's terms.
#pragma once

#include <SDL.h>

#include <optional>

#include "backend.h"

namespace win32impl {

// The native event an SDL event stands for; nothing for events the window layer does
// not take (unknown keys, other buttons, window events without a message).
std::optional<NativeEvent> FromSdl(const SDL_Event& event);

}  // namespace win32impl
