#include "app/key_presses.h"

#include <allegro.h>

#include <atomic>

namespace {

// Written by the library's input thread (head), read by the loop (tail).
// One entry per key the buffer receives, in the same order, so that the
// loop finds the entry of the key it read by passing over those a dialog
// read meanwhile.
enum { KEY_RECORDS = 256 };
struct KeyRecord {
  int scancode, code, modifiers, repeat;
};
struct KeyRing {
  KeyRecord records[KEY_RECORDS];
  std::atomic<unsigned> head{0}, tail{0};
};
KeyRing ring;

// Keys down as the low-level events tell, to tell a repeat from a press;
// and whether the key the buffer is about to receive is a repeat.
volatile char down[KEY_MAX];
volatile int next_is_repeat;

void lowlevel_key(int scancode) {
  const int k = scancode & 0x7F;
  if (scancode & 0x80) {
    down[k] = 0;
    return;
  }
  next_is_repeat = down[k];
  down[k] = 1;
}

int buffered_key(int code, int *scancode) {
  const unsigned head = ring.head.load(std::memory_order_relaxed);
  // A full ring keeps its oldest entries; the newest key then goes with
  // the modifiers held when the loop reads it.
  if (head - ring.tail.load(std::memory_order_acquire) < KEY_RECORDS) {
    ring.records[head % KEY_RECORDS] = {*scancode, code, modifiers_now(), next_is_repeat};
    ring.head.store(head + 1, std::memory_order_release);
  }
  next_is_repeat = 0;
  return code;
}

// Whether the next record is a repeat of the key: repeats that piled up
// while the loop was busy are one, as a held key's always were.
bool repeat_follows(int scancode) {
  const unsigned tail = ring.tail.load(std::memory_order_relaxed);
  if (tail == ring.head.load(std::memory_order_acquire)) return false;
  const KeyRecord &r = ring.records[tail % KEY_RECORDS];
  return r.repeat && r.scancode == scancode;
}

// The record of the key just read from the buffer, if the ring has it.
bool take_record(int scancode, int code, KeyRecord *found) {
  unsigned tail = ring.tail.load(std::memory_order_relaxed);
  const unsigned head = ring.head.load(std::memory_order_acquire);
  for (; tail != head; tail++) {
    const KeyRecord &r = ring.records[tail % KEY_RECORDS];
    if (r.scancode != scancode || r.code != code) continue;
    *found = r;
    ring.tail.store(tail + 1, std::memory_order_release);
    return true;
  }
  // Not recorded (the ring was full): every record is of a key before it,
  // read already, and goes, so that the ring never stays full.
  ring.tail.store(head, std::memory_order_release);
  return false;
}

}  // namespace

int modifiers_now() {
  return (key[KEY_LSHIFT] ? KEY_MOD_LSHIFT : 0) | (key[KEY_RSHIFT] ? KEY_MOD_RSHIFT : 0) |
         (key[KEY_LCONTROL] ? KEY_MOD_LCTRL : 0) | (key[KEY_RCONTROL] ? KEY_MOD_RCTRL : 0) |
         (key[KEY_ALT] ? KEY_MOD_ALT : 0);
}

KeyPress key_press_now(int scancode) {
  KeyPress press;
  press.scancode = scancode;
  press.modifiers = modifiers_now();
  return press;
}

void install_key_recorder() {
  keyboard_lowlevel_callback = lowlevel_key;
  keyboard_ucallback = buffered_key;
}

int read_key_press(KeyPress *press) {
  while (keypressed()) {
    int scancode = 0;
    const int code = ureadkey(&scancode);
    KeyRecord r;
    if (!take_record(scancode, code, &r)) {
      *press = key_press_now(scancode);
      return 0;
    }
    if (r.repeat && (!key[scancode] || repeat_follows(scancode))) continue;
    press->scancode = scancode;
    press->modifiers = r.modifiers;
    press->repeat = r.repeat;
    return 0;
  }
  return 1;
}
