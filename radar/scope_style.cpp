#include "radar/scope_style.h"

namespace radar {

void SetScopeDefaults(platform::Canvas& canvas) {
    canvas.SetPen(kScopeGreen, 1, platform::PenStyle::Solid);
    canvas.SetFill(kScopeBlack, false);
}

void Draw_Text(platform::Canvas& canvas, int y, int x, const std::string& text,
               platform::Rgb colour) {
    canvas.SetPenColour(colour);
    canvas.Text(x, y, text);
}

}  // namespace radar
