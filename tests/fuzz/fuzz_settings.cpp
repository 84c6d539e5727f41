// The settings file rewritten as the F12 dialog saves it, on arbitrary
// files: the first six bytes choose the settings to save, the rest is the
// file as it was (absent when the first byte's top bit is set). The save
// must be made, must read back as the settings saved, and must keep every
// line but those of the keys it sets, in order, adding only lines of those
// keys, their sections' headers and blank lines.
#include <allegro.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

#include "core/export_format.h"
#include "core/regular_file.h"
#include "core/reporter.h"
#include "files/config_lines.h"
#include "program/settings.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

struct Key {
  const char *section, *key;
};

struct Line {
  std::string text;
  ConfigEntry entry;  // offsets into text
};

std::vector<Line> lines_of(const std::string &s) {
  std::vector<Line> lines;
  for (long at = 0; at < (long)s.size();) {
    const ConfigLine l = config_line_at(s.data(), (long)s.size(), at);
    Line line{s.substr((size_t)l.start, (size_t)(l.end - l.start)), ConfigEntry()};
    line.entry = config_entry_of(line.text.data(), 0, (long)line.text.size());
    lines.push_back(line);
    at = l.next;
  }
  return lines;
}

bool names(const Line &l, const std::vector<Key> &keys) {
  const std::string name = l.text.substr((size_t)l.entry.name, (size_t)l.entry.name_length);
  for (const Key &k : keys)
    if (strcasecmp(name.c_str(), k.key) == 0 || strcasecmp(name.c_str(), ("[" + std::string(k.section) + "]").c_str()) == 0)
      return true;
  return false;
}

// A line the save may add: blank, or a key it sets, or a header of its section.
bool addable(const Line &l, const std::vector<Key> &keys) { return l.entry.name_length == 0 || names(l, keys); }

// b is a's key line with another value.
bool revalued(const Line &a, const Line &b, const std::vector<Key> &keys) {
  if (a.entry.name_length == 0 || config_is_section(a.text.data(), a.entry) || !names(a, keys)) return false;
  return b.text.compare(0, (size_t)a.entry.value, a.text, 0, (size_t)a.entry.value) == 0;
}

std::string text_of(const std::string &path) {
  std::string s;
  FILE *f = fopen(path.c_str(), "rb");
  for (int c; f && (c = fgetc(f)) != EOF;) s += (char)c;
  if (f) fclose(f);
  return s;
}

bool ends_line(const std::string &s) { return !s.empty() && (s.back() == '\n' || s.back() == '\r'); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *d, size_t size) {
  fuzz_init();
  if (size < 6) return 0;
  const std::string old((const char *)d + 6, size - 6);
  const bool absent = d[0] & 128;
  const std::string path = fuzz_file("Veldkit.ini", (const uint8_t *)old.data(), old.size());
  if (absent) remove(path.c_str());
  use_config_text(absent ? "" : old.data(), absent ? 0 : (long)old.size());
  const ProgramSettings was = read_settings();
  ProgramSettings now = was;
  std::vector<Key> keys;
  auto choose = [&](bool set, const char *section, const char *key, int *field, int value) {
    if (!set) return;
    *field = value;
    keys.push_back({section, key});
  };
  choose(d[0] & 1, "Display", "Screen-Width", &now.screen_width, 640 + (d[1] | d[2] << 8) % (16384 - 639));
  choose(d[0] & 2, "Display", "Screen-Height", &now.screen_height, 480 + (d[2] | d[1] << 8) % (16384 - 479));
  choose(d[0] & 4, "Display", "FullScreen", &now.full_screen, d[3] & 1);
  choose(d[0] & 8, "Display", "Enable_Targets", &now.enable_targets, (d[3] >> 1) & 1);
  choose(d[0] & 16, "Display", "UI_Scale", &now.ui_scale, (d[3] >> 2) & 3);
  choose(d[0] & 32, "Display", "Start_Zoom", &now.start_zoom, (d[4] % 10) - 1);
  choose(d[0] & 64, "Export", "Format", &now.export_format, d[4] >= 128);
  choose(d[5] & 1, "Export", "Briefing_Page", &now.briefing_paper, (d[5] >> 1) % 3);
  choose(d[5] & 8, "Export", "Briefing_Pixels", &now.briefing_pixels, 512 + (d[1] * 31 + d[5]) % (8192 - 511));
  std::string why;
  int changed = -1;
  if (save_settings(path.c_str(), now, &why, &changed) != RESULT_OK) {
    fprintf(stderr, "not saved: %s\n", why.c_str());
    __builtin_trap();
  }
  const std::string out = changed ? text_of(path) : absent ? std::string() : old;
  if (changed == 0 && !absent && text_of(path) != old) __builtin_trap();
  use_config_text(out.data(), (long)out.size());
  const ProgramSettings back = read_settings();
  if (back.screen_width != now.screen_width || back.screen_height != now.screen_height ||
      (back.full_screen > 0) != (now.full_screen > 0) || (back.enable_targets != 0) != (now.enable_targets != 0) ||
      back.ui_scale != now.ui_scale || back.start_zoom != now.start_zoom || back.export_format != now.export_format ||
      back.briefing_paper != now.briefing_paper || back.briefing_pixels != now.briefing_pixels)
    __builtin_trap();
  if (absent) return 0;
  // The byte order mark stays and is no part of a line.
  const bool marked = old.compare(0, 3, "\xEF\xBB\xBF") == 0;
  if (marked && out.compare(0, 3, old, 0, 3) != 0) __builtin_trap();
  const std::vector<Line> a = lines_of(old.substr(marked ? 3 : 0)), b = lines_of(out.substr(marked ? 3 : 0));
  size_t j = 0;
  for (const Line &l : a) {
    while (j < b.size() && b[j].text != l.text && !revalued(l, b[j], keys) && addable(b[j], keys)) j++;
    if (j == b.size() || (b[j].text != l.text && !revalued(l, b[j], keys))) __builtin_trap();
    j++;
  }
  for (; j < b.size(); j++)
    if (!addable(b[j], keys)) __builtin_trap();
  // A text of lines (past a byte order mark) ends with a line end as it did.
  if (old.size() > (marked ? 3u : 0u) && ends_line(old) != ends_line(out)) __builtin_trap();
  return 0;
}
