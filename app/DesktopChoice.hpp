#pragma once

// Tells the platform layer how to find a desktop: the simulated demo desktop when
// TARNWICK_PLATFORM=sim, otherwise the real one once a display is reachable.
void chooseDesktop();
