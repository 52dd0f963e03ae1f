#pragma once

// What every layer of the scope shares: its colours, its default pen and fill, and text.

#include <string>

#include "platform/canvas.h"

namespace radar {

inline constexpr platform::Rgb kScopeGreen{0, 192, 0};
inline constexpr platform::Rgb kScopeBlack{0, 0, 0};
inline constexpr platform::Rgb kWhite{255, 255, 255};

// Pen (0, 192, 0), 1 pixel, solid; fill black, transparent.
void SetScopeDefaults(platform::Canvas& canvas);

// Text with its top-left corner at pixel (x, y), in the given colour.
void Draw_Text(platform::Canvas& canvas, int y, int x, const std::string& text,
               platform::Rgb colour);

}  // namespace radar
