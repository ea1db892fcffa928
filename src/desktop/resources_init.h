#pragma once
// Registers the program's compiled-in resources (icons, the About picture, the start sound). The
// resources live in a static library, so they are registered explicitly; calling again is harmless.

namespace velkora {
void initResources();
}
