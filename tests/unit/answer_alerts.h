// Answers the library's dialogs during a call. An alert empties the keyboard
// buffer when it opens, so a key queued before the call is lost; instead a
// timer keeps one key waiting for as long as the object lives.
#pragma once

#include <allegro.h>

class AnswerAlerts {
 public:
  // key as simulate_keypress takes it: ASCII in the low byte, scancode above.
  explicit AnswerAlerts(int key) {
    answer_key_ = key;
    install_int(press, 20);
  }
  ~AnswerAlerts() {
    remove_int(press);
    clear_keybuf();
  }

 private:
  static void press() {
    if (!keypressed()) simulate_keypress(answer_key_);
  }
  static inline volatile int answer_key_;
};

#define KEY_ANSWER_OK ('o' | (KEY_O << 8))
#define KEY_ANSWER_ENTER (13 | (KEY_ENTER << 8))
#define KEY_ANSWER_ESC (27 | (KEY_ESC << 8))
