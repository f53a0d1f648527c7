// Asynchronous key-state query for the main loop: is a key down now, or was it
// pressed since the previous query? Only the keys the program uses are known.
#pragma once

constexpr int vkEscape = 27;

// Non-zero when the key is down now (0x8000) or was pressed since the previous
// query for it (0x0001); 0 otherwise, and always 0 without a video subsystem.
int getAsyncKeyState(int virtualKey);

// Forgets the key watch; the window calls it before it shuts video down.
void releaseKeyboard();
