// Shared set-up of the unit tests: one real 32-bit window per test program
// (progress messages and dialogs draw on the screen), and small file helpers.
#pragma once

#include <allegro.h>
#include <gtest/gtest.h>

#include "core/reporter.h"

#include <string>
#include <vector>

// A fresh temporary folder that becomes the working directory for the
// lifetime of the object; removed with its contents afterwards.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string &path() const { return path_; }
  std::string file(const std::string &name) const { return path_ + "/" + name; }

 private:
  std::string path_;
  std::string old_cwd_;
};

// Recovery journals of the tests' terrains go to a folder of the run's own
// (XDG_STATE_HOME), removed at exit, never the user's.
void use_own_state_folder();

std::vector<unsigned char> read_file(const std::string &path);
// A file of the source tree (README.md, files/target_areas.cpp) as text.
std::string source_file(const std::string &name);
void write_file(const std::string &path, const std::vector<unsigned char> &bytes);
void write_text(const std::string &path, const std::string &text);
bool file_exists(const std::string &path);

// Little-endian byte builders for synthetic terrain files.
void put_le32(std::vector<unsigned char> &out, int32_t v);
void put_le16(std::vector<unsigned char> &out, uint16_t v);

// Colour of a pixel as (r, g, b) for comparisons that do not depend on the
// mode's byte order.
struct Rgb {
  int r, g, b;
  bool operator==(const Rgb &o) const { return r == o.r && g == o.g && b == o.b; }
};
Rgb pixel_rgb(BITMAP *bmp, int x, int y);
std::ostream &operator<<(std::ostream &os, const Rgb &c);

// Points the library's screen at a 768 x 538 memory bitmap filled with one
// colour while the object lives: drawing tests run quicker and read back
// exactly what was drawn.
struct MemoryScreen {
  BITMAP *saved;
  explicit MemoryScreen(int colour = makecol(9, 9, 9)) : saved(screen) {
    screen = create_bitmap(768, 538);
    clear_to_color(screen, colour);
  }
  ~MemoryScreen() {
    // A pass may have shown the pointer on it: the library's thread would
    // draw it there again when the pointer moves.
    show_mouse(nullptr);
    destroy_bitmap(screen);
    screen = saved;
  }
  MemoryScreen(const MemoryScreen &) = delete;
  MemoryScreen &operator=(const MemoryScreen &) = delete;
};

// Keeps what loaders, writers and exports report, in order.
struct ReportLog {
  struct Entry {
    int kind;
    std::string message, path, detail;
  };
  std::vector<std::string> progress;
  std::vector<Entry> warnings;
  int paused_ms = 0;
  Reporter reporter;
  ReportLog();
  ReportLog(const ReportLog &) = delete;
  ReportLog &operator=(const ReportLog &) = delete;
  const Reporter *get() const { return &reporter; }
  // Every warning as "message|path|", oldest first.
  std::string texts() const;
};

// Puts the terrain model and view back to the start state between tests.
void reset_program_state();
