#include "tests/unit/harness.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

#include "app/editing.h"
#include "app/main_loop.h"
#include "app/startup.h"
#include "core/terrain_model.h"
#include "edit/edit_history.h"
#include "edit/sculpt_brushes.h"
#include "render/export/planning_map.h"

TempDir::TempDir() {
  char tmpl[] = "/tmp/veldkit-test-XXXXXX";
  path_ = mkdtemp(tmpl);
  char cwd[4096];
  old_cwd_ = getcwd(cwd, sizeof(cwd)) ? cwd : "/";
  if (chdir(path_.c_str()) != 0) perror("chdir");
}

TempDir::~TempDir() {
  if (chdir(old_cwd_.c_str()) != 0) perror("chdir");
  std::string cmd = "chmod -R u+w '" + path_ + "' 2>/dev/null; rm -rf '" + path_ + "'";
  if (system(cmd.c_str()) != 0) fprintf(stderr, "cannot remove %s\n", path_.c_str());
}

void use_own_state_folder() {
  static std::string folder;
  char tmpl[] = "/tmp/veldkit-state-XXXXXX";
  if (!mkdtemp(tmpl)) return;
  folder = tmpl;
  setenv("XDG_STATE_HOME", tmpl, 1);
  atexit([] {
    if (system(("rm -rf '" + folder + "'").c_str()) != 0) fprintf(stderr, "cannot remove %s\n", folder.c_str());
  });
}

std::vector<unsigned char> read_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

void write_file(const std::string &path, const std::vector<unsigned char> &bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char *>(bytes.data()), (std::streamsize)bytes.size());
}

void write_text(const std::string &path, const std::string &text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

bool file_exists(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

void put_le32(std::vector<unsigned char> &out, int32_t v) {
  for (int i = 0; i < 4; i++) out.push_back((unsigned char)((uint32_t)v >> (8 * i)));
}

void put_le16(std::vector<unsigned char> &out, uint16_t v) {
  out.push_back((unsigned char)(v & 0xFF));
  out.push_back((unsigned char)(v >> 8));
}

Rgb pixel_rgb(BITMAP *bmp, int x, int y) {
  int c = getpixel(bmp, x, y);
  int depth = bitmap_color_depth(bmp);
  return {getr_depth(depth, c), getg_depth(depth, c), getb_depth(depth, c)};
}

std::ostream &operator<<(std::ostream &os, const Rgb &c) {
  return os << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

ReportLog::ReportLog() {
  reporter.context = this;
  reporter.progress = [](void *c, const char *text) {
    static_cast<ReportLog *>(c)->progress.push_back(text);
  };
  reporter.warning = [](void *c, const Warning &w) {
    static_cast<ReportLog *>(c)->warnings.push_back({w.kind, w.message, w.path, w.detail ? w.detail : ""});
  };
  reporter.pause = [](void *c, int ms) { static_cast<ReportLog *>(c)->paused_ms += ms; };
}

std::string ReportLog::texts() const {
  std::string all;
  for (const Entry &w : warnings) all += w.message + "|" + w.path + "|";
  return all;
}

void reset_program_state() {
  clear_terrain_model();
  clear_planning_relief();
  history_clear();
  session = Session();
  clear_clipboards();
  sculpt_brush = SculptBrush();
  // The tests' settings, as a Veldkit.ini would give them: targets shown,
  // a terrain opening at the farthest zoom level.
  session.enable_targets = 1;
  session.start_zoom = ZOOM_FARTHEST;
  view = ViewState();
  terrain_paths = TerrainPaths();
}

std::string source_file(const std::string &name) {
  const char *root = getenv("VELDKIT_SOURCE_DIR");
  std::ifstream in(std::string(root ? root : "..") + "/" + name);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
