// F1: the manual dialog, its place and parts, and the read error box.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/manual_viewer.h"
#include "app/startup.h"
#include "tests/unit/dialog_answers.h"
#include "tests/unit/harness.h"
#include "ui/dialog_theme.h"
#include "ui/manual_text.h"

namespace {

struct ShownObject {
  DIALOG_PROC proc;
  int x, y, w, h, fg, bg, key, flags;
  std::string text;
};

// Wraps the window frame of every dialog: records the dialog's objects
// when it starts, types the planned keys once it runs (alert() empties the
// key buffer before its box starts), and closes a dialog that waits too
// long so that no test hangs.
struct DialogWatch {
  static DialogWatch *current;
  std::vector<ShownObject> objects;
  std::string manual_text;
  int focus_on_close_button = 0;
  int planned_key = 0;
  int extra_key = 0;
  int idle = 0;
  int timed_out = 0;

  DialogWatch() {
    current = this;
    gui_shadow_box_proc = frame;
  }
  ~DialogWatch() {
    gui_shadow_box_proc = theme_window_proc;
    current = nullptr;
  }

  static int frame(int msg, DIALOG *d, int c) {
    DialogWatch *self = current;
    if (msg == MSG_START) {
      self->objects.clear();
      for (DIALOG *o = d; o->proc; o++) {
        self->objects.push_back({o->proc, o->x, o->y, o->w, o->h, o->fg, o->bg, o->key, o->flags,
                                 o->dp && o->proc != manual_text_proc ? (const char *)o->dp : ""});
        if (o->proc == manual_text_proc && o->dp) self->manual_text = (const char *)o->dp;
      }
      self->idle = 0;
    }
    // The keys are typed once the dialog runs and has drawn itself.
    if (msg == MSG_IDLE && self->idle == 0) {
      if (d[1].proc) self->focus_on_close_button = d[1].flags & D_GOTFOCUS;
      if (self->planned_key) simulate_keypress(self->planned_key);
      if (self->extra_key) simulate_keypress(self->extra_key);
    }
    if (msg == MSG_IDLE && ++self->idle > 20000) {
      self->timed_out = 1;
      return D_CLOSE;
    }
    return theme_window_proc(msg, d, c);
  }
};
DialogWatch *DialogWatch::current;

}  // namespace

TEST(ManualViewer, MissingOrEmptyManualShowsTheReadError) {
  TempDir dir;
  for (int empty_file = 0; empty_file <= 1; empty_file++) {
    if (empty_file) write_text(dir.file(MANUAL_FILE), "");
    DialogWatch watch;
    watch.planned_key = (KEY_ENTER << 8) | 13;
    EXPECT_EQ(show_manual(), 1);
    EXPECT_FALSE(watch.timed_out);
    // Frame, three lines and the visible buttons of the library's alert.
    ASSERT_GE(watch.objects.size(), 5u);
    EXPECT_EQ(watch.objects[1].text, "  Read Error:  ");
    EXPECT_EQ(watch.objects[2].text, "");
    EXPECT_EQ(watch.objects[3].text, MANUAL_FILE);
    EXPECT_EQ(watch.objects[4].text, "OK");
    EXPECT_EQ(watch.objects[4].key, 13);
  }
}

// A pipe, a folder or a device in the place of the manual is reported as a
// missing manual is, without waiting for a writer.
TEST(ManualViewer, SpecialFilesAreReportedAsMissing) {
  TempDir dir;
  // A fault here would wait for good; the alarm ends the test program.
  alarm(120);
  for (const char *kind : {"missing", "pipe", "folder", "device"}) {
    int made = 0;
    if (strcmp(kind, "pipe") == 0) made = mkfifo(MANUAL_FILE, 0644);
    if (strcmp(kind, "folder") == 0) made = mkdir(MANUAL_FILE, 0755);
    if (strcmp(kind, "device") == 0) made = symlink("/dev/zero", MANUAL_FILE);
    ASSERT_EQ(0, made) << kind;
    AlertAnswers answers;
    answers.answer_every(KEY_ANSWER_ENTER);
    EXPECT_EQ(1, show_manual()) << kind;
    EXPECT_EQ("  Read Error:  ||Veldkit.htm|", answers.texts()) << kind;
    if (strcmp(kind, "folder") == 0) rmdir(MANUAL_FILE);
    unlink(MANUAL_FILE);
  }
  alarm(0);
}

TEST(ManualViewer, CentredDialogWithCloseButtonAndTextBox) {
  TempDir dir;
  std::string page = "<HTML>\n<BODY>\n<H1>Manual</H1>\n<P>Some text.</P>\n</BODY>\n</HTML>\n";
  write_text(dir.file(MANUAL_FILE), page);
  DialogWatch watch;
  // A key still queued after the dialog closes is dropped.
  watch.planned_key = (KEY_X << 8) | 'x';
  watch.extra_key = (KEY_Q << 8) | 'q';
  EXPECT_EQ(show_manual(), 0);
  EXPECT_FALSE(watch.timed_out);
  EXPECT_FALSE(keypressed());

  ASSERT_EQ(watch.objects.size(), 3u);
  const ShownObject &window = watch.objects[0], &close = watch.objects[1], &box = watch.objects[2];
  EXPECT_EQ(window.x, 69);
  EXPECT_EQ(window.y, 31);
  EXPECT_EQ(window.w, 630);
  EXPECT_EQ(window.h, 476);
  EXPECT_EQ(window.text, "Manual: Veldkit.htm");
  EXPECT_EQ(window.fg, theme.fg_color);
  EXPECT_EQ(window.bg, theme.bg_color);

  EXPECT_EQ(close.proc, gui_button_proc);
  EXPECT_EQ(close.x, 69 + 610);
  EXPECT_EQ(close.y, 31 + 4);
  EXPECT_EQ(close.w, 16);
  EXPECT_EQ(close.h, 15);
  EXPECT_EQ(close.key, 'x');
  EXPECT_TRUE(close.flags & D_EXIT);
  EXPECT_EQ(close.text, "X");
  EXPECT_TRUE(watch.focus_on_close_button);

  EXPECT_EQ(box.proc, manual_text_proc);
  EXPECT_EQ(box.x, 69 + 7);
  EXPECT_EQ(box.y, 31 + 25);
  EXPECT_EQ(box.w, 616);
  EXPECT_EQ(box.h, 428);
  EXPECT_EQ(box.fg, theme.fg_color);
  // The box holds the file's bytes, ended by a terminator.
  EXPECT_EQ(watch.manual_text, page);
}

TEST(ManualViewer, XQueuedBeforehandClosesTheManual) {
  TempDir dir;
  write_text(dir.file(MANUAL_FILE), "<HTML><BODY>Text");
  DialogWatch watch;
  simulate_ukeypress('x', KEY_X);
  EXPECT_EQ(show_manual(), 0);
  EXPECT_FALSE(watch.timed_out);
  EXPECT_EQ(watch.objects.size(), 3u);
}

TEST(ManualViewer, TheStagedManualFitsTheHtmlSubset) {
  // The page the build stages beside the program: a body, upper-case tags
  // only, and more than one screenful of lines at the box's width.
  const char *run_dir = getenv("VELDKIT_RUN_DIR");
  ASSERT_NE(run_dir, nullptr);
  std::vector<unsigned char> bytes = read_file(std::string(run_dir) + "/" + MANUAL_FILE);
  ASSERT_FALSE(bytes.empty());
  std::string page(bytes.begin(), bytes.end());
  EXPECT_NE(page.find("<BODY>"), std::string::npos);
  EXPECT_EQ(page.find('\r'), std::string::npos);
  EXPECT_EQ(page.find('&'), std::string::npos);
  for (size_t i = page.find('<'); i != std::string::npos; i = page.find('<', i + 1)) {
    size_t end = page.find('>', i);
    ASSERT_NE(end, std::string::npos) << "unclosed tag at " << i;
    for (size_t k = i + 1; k < end; k++) EXPECT_FALSE(islower((unsigned char)page[k])) << page.substr(i, end - i + 1);
  }
  font = display.dialog_font;
  int lines = 0;
  draw_html_text(page.c_str(), &lines, 0, 0, 1, 8, 76, 56, 616 - 12, 428, 0, 0, 0, 0);
  EXPECT_GT(lines, (428 - 8) / text_height(font));
}
