// Answers the library's alerts in-process. An alert empties the keyboard
// buffer when it opens, so a key queued beforehand is lost: a helper thread
// types the answer again and again until the object goes. The centred text
// lines of every alert shown meanwhile are kept in order, joined by "|".
#pragma once

#include <allegro.h>

#include <atomic>
#include <string>
#include <thread>

class AnswerAlerts {
 public:
  explicit AnswerAlerts(int key = 'o' | (KEY_O << 8)) : typing_(true) {
    texts().clear();
    saved_ = gui_ctext_proc;
    previous() = saved_ ? saved_ : d_ctext_proc;
    gui_ctext_proc = record;
    typist_ = std::thread([this, key] {
      while (typing_) {
        simulate_keypress(key);
        rest(20);
      }
    });
  }
  ~AnswerAlerts() {
    typing_ = false;
    typist_.join();
    clear_keybuf();
    gui_ctext_proc = saved_;
  }
  static std::string &texts() {
    static std::string seen;
    return seen;
  }

 private:
  static DIALOG_PROC &previous() {
    static DIALOG_PROC proc;
    return proc;
  }
  static int record(int msg, DIALOG *d, int c) {
    if (msg == MSG_START) texts() += std::string(d->dp ? (const char *)d->dp : "") + "|";
    return previous()(msg, d, c);
  }
  std::atomic<bool> typing_;
  std::thread typist_;
  DIALOG_PROC saved_;
};
