// Answers the library's alert boxes in-process. alert() and alert3() empty
// the key buffer before their dialog starts, so a key queued beforehand never
// reaches them. Instead the box's frame procedure is wrapped: when a box
// starts, its texts are recorded and the next planned answer is typed into
// it. A box with no answer left is closed with Esc (alert3 then returns 3)
// and counted, so a test never waits for a key that does not come.
#pragma once

#include <allegro.h>

#include <deque>
#include <string>
#include <vector>

#define KEY_ANSWER_OK ('o' | (KEY_O << 8))
#define KEY_ANSWER_ENTER (13 | (KEY_ENTER << 8))
#define KEY_ANSWER_ESC (27 | (KEY_ESC << 8))

struct ShownAlert {
  std::string lines[3];
  std::vector<std::string> all;      // every line, for boxes of more than three
  std::vector<std::string> buttons;  // the visible buttons, in order
  std::vector<int> keys;             // their shortcut keys
};

class AlertAnswers {
 public:
  AlertAnswers() : saved_(gui_shadow_box_proc) {
    current() = this;
    gui_shadow_box_proc = frame_proc;
  }
  ~AlertAnswers() {
    gui_shadow_box_proc = saved_;
    current() = nullptr;
  }
  AlertAnswers(const AlertAnswers &) = delete;
  AlertAnswers &operator=(const AlertAnswers &) = delete;

  // Plans the key that answers the next box (an ASCII shortcut such as 'y').
  void answer(int ascii) { answers_.push_back(Answer{ascii, false, ""}); }
  // Plans text typed into the next box's field (a prompt, the file
  // selector), then Return.
  void answer_text(const std::string &text) { answers_.push_back(Answer{0, true, text}); }
  // Answers every box with this key (as simulate_keypress takes it: ASCII in
  // the low byte, scan code above) once the planned answers are used up.
  void answer_every(int key) { every_ = key; }
  size_t pending() const { return answers_.size(); }

  // The lines of every box shown, each followed by "|".
  std::string texts() const {
    std::string all;
    for (const ShownAlert &box : shown)
      for (const std::string &line : box.lines) all += line + "|";
    return all;
  }

  std::vector<ShownAlert> shown;
  int unanswered = 0;

 private:
  enum { ALERT_FIRST_LINE = 1 };

  static AlertAnswers *&current() {
    static AlertAnswers *instance;
    return instance;
  }

  static int frame_proc(int msg, DIALOG *d, int c) {
    AlertAnswers *self = current();
    if (msg == MSG_START && self) self->started(d);
    int (*proc)(int, DIALOG *, int) = self && self->saved_ ? self->saved_ : d_shadow_box_proc;
    return proc(msg, d, c);
  }

  void started(DIALOG *d) {
    ShownAlert box;
    // The library's alert: three lines, then up to three buttons; a box of
    // the program's own: any number of lines, then its buttons.
    for (int k = 1; d[k].proc; k++) {
      const char *text = d[k].dp ? (const char *)d[k].dp : "";
      if (d[k].proc == d_yield_proc) continue;
      if (!(d[k].flags & D_EXIT)) {
        if (k <= 3) box.lines[k - ALERT_FIRST_LINE] = text;
        box.all.push_back(text);
      } else if (!(d[k].flags & D_HIDDEN)) {
        box.buttons.push_back(text);
        box.keys.push_back(d[k].key);
      }
    }
    shown.push_back(box);
    if (answers_.empty() && every_) {
      simulate_keypress(every_);
      return;
    }
    if (answers_.empty()) {
      unanswered++;
      simulate_keypress((KEY_ESC << 8) | 27);
      return;
    }
    const Answer next = answers_.front();
    answers_.pop_front();
    if (!next.typed) {
      simulate_ukeypress(next.ascii, 0);
      return;
    }
    for (char c : next.text) simulate_ukeypress((unsigned char)c, 0);
    simulate_keypress(KEY_ANSWER_ENTER);
  }

  struct Answer {
    int ascii;
    bool typed;
    std::string text;
  };

  int (*saved_)(int, DIALOG *, int);
  std::deque<Answer> answers_;
  int every_ = 0;
};
