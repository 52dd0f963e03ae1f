#pragma once

namespace app {

// Tells the window registry how to create each of the program's windows by name.
void RegisterAppWindows();

}  // namespace app
