// Key presses as the keyboard's buffer holds them, each with the modifier
// keys held at the moment it was pressed: a key tapped and released before
// the loop looks is still carried out, with the Shift or Ctrl of its press.
#pragma once

enum KeyModifierBits {
  KEY_MOD_LSHIFT = 1,
  KEY_MOD_RSHIFT = 2,
  KEY_MOD_LCTRL = 4,
  KEY_MOD_RCTRL = 8,
  KEY_MOD_ALT = 16,
};

struct KeyPress {
  int scancode = 0;
  int modifiers = 0;  // KeyModifierBits
  int repeat = 0;     // made by a key held down, not by a press
};

// Records every key as the library buffers it. Once, after install_keyboard.
void install_key_recorder();

// The next key of the buffer: 0 with it, 1 when none waits. Repeats that
// piled up while the loop was busy count as one, and none once the key is
// let go: a held key stops when it does.
int read_key_press(KeyPress *press);

// A press of scancode with the modifiers held now (for keys the recorder
// did not see: simulated ones, or before it was installed).
KeyPress key_press_now(int scancode);

// The modifiers held now.
int modifiers_now();
