#pragma once

namespace sv {

// Plays the desktop's alert sound once, without waiting for it: the
// freedesktop theme's "bell" event through libcanberra, or the toolkit's
// beep where no sound can be played. Main thread.
void playAlertSound();

} // namespace sv
