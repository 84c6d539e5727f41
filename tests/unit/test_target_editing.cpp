// The target areas edited where they are drawn, and their file written back
// after the edits: what it reads back as, and the bytes no edit concerns.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/terrain_model.h"
#include "edit/edit_history.h"
#include "edit/target_edits.h"
#include "files/target_areas.h"
#include "files/target_file_writer.h"
#include "files/target_quick_patch.h"
#include "files/target_rewrite.h"
#include "inspect/terrain_check.h"
#include "tests/unit/harness.h"

namespace {

struct Sets {
  std::unique_ptr<TargetSet> now{new TargetSet()}, back{new TargetSet()}, file{new TargetSet()};
};

// A random file: areas with comments, unknown keys and blank lines among
// their keys, odd spacing that may differ between sections, CR LF or LF,
// maybe no final line end; each
// remark line holds a token of its own, so that it can be found afterwards.
std::string random_file(std::mt19937 &rng, int areas, std::vector<std::string> *remarks) {
  auto pick = [&](int n) { return (int)(rng() % (unsigned)n); };
  const std::string eol = pick(2) ? "\r\n" : "\n";
  std::string eq = pick(3) == 0 ? " = " : "=";
  std::string text;
  auto remark = [&](const std::string &kind) {
    const std::string line = (kind == "key" ? "Unknown" + std::to_string(remarks->size()) + eq + "kept"
                                            : "; remark " + std::to_string(remarks->size()) + "  ") ;
    remarks->push_back(line);
    text += line + eol;
  };
  remark("comment");
  if (pick(2)) text += "[Other]" + eol + "Key" + eq + "1" + eol + eol;
  for (int n = 1; n <= areas; n++) {
    if (pick(4) == 0) eq = eq == "=" ? " = " : "=";
    char header[32];
    snprintf(header, sizeof(header), pick(4) ? "[TargetArea%03d]" : "[targetarea%03d]", n);
    text += header + eol;
    text += "Name" + eq + "Area " + std::to_string(n) + eol;
    if (pick(3) == 0) remark("key");
    text += "Position" + eq + std::to_string(pick(400000)) + (pick(2) ? ", " : ",") + std::to_string(pick(400000)) + eol;
    if (pick(4)) text += "Alignment" + eq + (pick(2) ? "FRIENDLY" : "Enemy") + eol;
    const int count = 1 + pick(6);
    for (int t = 1; t <= count; t++) {
      char key[32];
      snprintf(key, sizeof(key), "Target[%03d]", t);
      const bool runway = t == 1 && pick(3) == 0;
      text += std::string(key) + ".Type" + eq + (runway ? "Runway" + std::to_string(1 + pick(6)) : "Hangar") + eol;
      text += std::string(key) + ".Offset" + eq + std::to_string(pick(4000) - 2000) + ", " +
              std::to_string(pick(4000) - 2000) + eol;
      if (runway) text += std::string(key) + ".Heading" + eq + std::to_string(pick(360)) + eol;
      if (pick(5) == 0) remark("comment");
    }
    text += eol;
  }
  if (pick(2)) remark("comment");
  if (pick(2) && text.size() >= eol.size()) text.resize(text.size() - eol.size());  // no final line end
  return text;
}

void renumber(TargetArea &a) {
  a.runway_number = strncmp(a.targets[1].type, "Runway", 6) == 0 ? atoi(a.targets[1].type + 6) : -1;
  turn_area_targets(a);
}

// One random edit of the areas as the window's target mode makes them.
void random_edit(std::mt19937 &rng, TargetSet &s, int serial) {
  auto pick = [&](int n) { return (int)(rng() % (unsigned)n); };
  if (s.area_count == 0) return;
  TargetArea &a = s.areas[1 + pick(s.area_count)];
  switch (pick(9)) {
    case 0:
      a.pos_x = (float)(pick(400000)), a.pos_y = (float)(pick(400000)) + (pick(4) == 0 ? 0.5f : 0.0f);
      break;
    case 1: {
      Target &t = a.targets[1 + pick(a.target_count)];
      t.file_offset_x = (float)(pick(4000) - 2000), t.file_offset_y = (float)(pick(4000) - 2000);
      break;
    }
    case 2:
      snprintf(a.name, sizeof(a.name), "Renamed %d", serial);
      break;
    case 3:
      a.enemy = !a.enemy;
      break;
    case 4:
      if (a.runway_number >= 0) a.targets[1].heading = pick(360);
      break;
    case 5:
      if (a.target_count < 20) {
        Target &t = a.targets[++a.target_count];
        t = Target();
        snprintf(t.type, sizeof(t.type), "Bunker %d", serial);
        t.file_offset_x = (float)(pick(100)), t.file_offset_y = -1.25f;
      }
      break;
    case 6:
      if (a.target_count > 1) {
        const int k = 1 + pick(a.target_count);
        for (int t = k; t < a.target_count; t++) a.targets[t] = a.targets[t + 1];
        a.target_count--;
      }
      break;
    case 7:
      if (s.area_count < 30) {
        TargetArea &b = s.areas[++s.area_count];
        b = TargetArea();
        snprintf(b.name, sizeof(b.name), "New %d", serial);
        b.pos_x = 1000, b.pos_y = 2000;
        b.enemy = 1;
        b.target_count = 1;
        snprintf(b.targets[1].type, sizeof(b.targets[1].type), "Runway2");
        b.targets[1].heading = pick(2) ? 90 : 0;
        renumber(b);
      }
      break;
    default:
      if (s.area_count > 1) {
        const int k = 1 + pick(s.area_count);
        for (int n = k; n < s.area_count; n++) s.areas[n] = s.areas[n + 1];
        s.area_count--;
      }
  }
  renumber(a);
}

// The areas as read back against the model: everything the file holds.
void expect_same(const TargetSet &model, const TargetSet &read, const std::string &context) {
  ASSERT_EQ(model.area_count, read.area_count) << context;
  for (int n = 1; n <= model.area_count; n++) {
    const TargetArea &m = model.areas[n], &r = read.areas[n];
    ASSERT_STREQ(m.name, r.name) << context;
    ASSERT_EQ(m.pos_x, r.pos_x) << context;
    ASSERT_EQ(m.pos_y, r.pos_y) << context;
    ASSERT_EQ(m.enemy, r.enemy) << context;
    ASSERT_EQ(m.target_count, r.target_count) << context;
    for (int t = 1; t <= m.target_count; t++) {
      ASSERT_STREQ(m.targets[t].type, r.targets[t].type) << context;
      ASSERT_EQ(m.targets[t].file_offset_x, r.targets[t].file_offset_x) << context;
      ASSERT_EQ(m.targets[t].file_offset_y, r.targets[t].file_offset_y) << context;
      if (t == 1 && m.runway_number >= 0) {
        ASSERT_EQ(m.targets[1].heading, r.targets[1].heading) << context;
      }
    }
  }
}

// The areas in use (and the one after them, which an insert fills).
void copy_areas(TargetSet &to, const TargetSet &from) {
  to.area_count = from.area_count;
  to.target_total = from.target_total;
  for (int n = 1; n <= from.area_count + 1 && n < MAX_AREAS; n++) to.areas[n] = from.areas[n];
}

std::vector<std::string> lines_of(const std::string &text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    end = end == std::string::npos ? text.size() : end + 1;
    lines.push_back(text.substr(at, end - at));
    at = end;
  }
  return lines;
}

// Whether the remarks of after are those of before in the same order, some
// left out (those of removed areas), none changed.
bool remarks_kept_in_order(const std::string &before, const std::string &after, const std::vector<std::string> &remarks) {
  size_t from = 0;
  for (const std::string &r : remarks) {
    const size_t in_after = after.find(r + "\n") != std::string::npos ? after.find(r + "\n") : after.find(r + "\r");
    if (in_after == std::string::npos) continue;
    if (before.find(r) == std::string::npos || in_after < from) return false;
    from = in_after;
  }
  return true;
}

void number_as_saved(TargetSet &s) {
  for (int n = 1; n <= s.area_count; n++) {
    s.areas[n].file_number = n;
    for (int t = 1; t <= s.areas[n].target_count; t++) s.areas[n].targets[t].file_number = t;
  }
}

TEST(TargetWriter, EditsReadBackExactlyAndKeepEveryOtherLine) {
  Sets sets;
  int quick_saves = 0;
  for (unsigned seed = 1; seed <= 80; seed++) {
    std::mt19937 rng(seed);
    std::vector<std::string> remarks;
    std::string text = random_file(rng, 1 + (int)(rng() % 6), &remarks);
    const bool crlf = text.find("\r\n") != std::string::npos;
    TargetSet &now = *sets.now;
    now.area_count = now.target_total = 0;
    ASSERT_EQ(RESULT_OK, read_target_text_into(now, text.data(), (long)text.size(), nullptr)) << text;
    copy_areas(*sets.file, now);
    std::string why;
    // Nothing edited: every byte as it was.
    ASSERT_EQ(text, target_text_after_edits(text.data(), (long)text.size(), now, &why)) << why;
    // One area moved: its Position line alone differs.
    {
      const int n = 1 + (int)(rng() % (unsigned)now.area_count);
      const float x = now.areas[n].pos_x;
      now.areas[n].pos_x = x + 250;
      const std::vector<std::string> a = lines_of(text);
      const std::vector<std::string> b = lines_of(target_text_after_edits(text.data(), (long)text.size(), now, &why));
      now.areas[n].pos_x = x;
      ASSERT_EQ(a.size(), b.size());
      int differing = 0;
      for (size_t i = 0; i < a.size(); i++)
        if (a[i] != b[i]) {
          differing++;
          EXPECT_NE(std::string::npos, b[i].find(std::to_string((int)x + 250))) << b[i];
        }
      EXPECT_EQ(1, differing) << text;
    }
    for (int save = 0; save < 6; save++) {
      const std::string before = text;
      const int edits = 1 + (int)(rng() % 4);
      for (int e = 0; e < edits; e++) random_edit(rng, now, 100 * save + e);
      text = target_text_after_edits(before.data(), (long)before.size(), now, &why);
      const std::string context = "seed " + std::to_string(seed) + " save " + std::to_string(save) + "\n" + before +
                                  "\n----\n" + text;
      ASSERT_EQ("", why) << context;
      // The quick way, when it vouches for its result, writes the same bytes.
      std::string quick;
      if (target_text_quickly(before.data(), (long)before.size(), *sets.file, now, &quick)) {
        quick_saves++;
        ASSERT_EQ(text, quick) << context;
      }
      TargetSet &back = *sets.back;
      back.area_count = back.target_total = 0;
      read_target_text_into(back, text.data(), (long)text.size(), nullptr);
      expect_same(now, back, context);
      EXPECT_TRUE(remarks_kept_in_order(before, text, remarks)) << context;
      EXPECT_NE(std::string::npos, text.find(remarks[0])) << context;  // before every area: never goes
      for (size_t i = 0; i < text.size(); i++)
        ASSERT_EQ(crlf, text[i] == '\n' ? i > 0 && text[i - 1] == '\r' : crlf) << context;
      // A file whose last line has no end ends so after lines are added,
      // unless its last lines went and one of its own ends it.
      if (before.back() != '\n' && text.back() == '\n') {
        const size_t from = text.rfind('\n', text.size() - 2);
        const std::string last = text.substr(from == std::string::npos ? 0 : from + 1);
        EXPECT_NE(std::string::npos, ("\n" + before).find("\n" + last)) << context;
      }
      if (before.back() == '\n') {
        EXPECT_EQ('\n', text.back()) << context;
      }
      number_as_saved(now);
      copy_areas(*sets.file, now);
    }
  }
  EXPECT_GT(quick_saves, 100);  // most files have line feeds alone
}

// Saves one after another into a file on disk, as the window makes them:
// the quick way works from what it kept of the file at the reading and at
// each save (where the sections are, the areas as written), and writes
// what the whole way writes from the file read again; a file that begins
// with a section's header, or ends without a line end, included.
TEST(TargetWriter, SavesFromTheKeptFileWriteWhatTheWholeWayWrites) {
  TempDir dir;
  const std::string path = dir.file("T_TARGETS.ini");
  const int quick_before = target_saves_taken_quickly();
  int saves = 0;
  for (unsigned seed = 1; seed <= 40; seed++) {
    std::mt19937 rng(seed);
    std::vector<std::string> remarks;
    std::string text = random_file(rng, 1 + (int)(rng() % 6), &remarks);
    if (rng() % 2) text.erase(0, text.find('['));
    write_text(path, text);
    targets.area_count = targets.target_total = 0;
    TargetFile kept;
    ASSERT_EQ(RESULT_OK, load_target_areas(path.c_str(), nullptr, &kept));
    for (int save = 0; save < 6; save++) {
      const int edits = 1 + (int)(rng() % 4);
      for (int e = 0; e < edits; e++) random_edit(rng, targets, 100 * save + e);
      std::string why;
      const std::string whole = target_text_after_edits(text.data(), (long)text.size(), targets, &why);
      const std::string context = "seed " + std::to_string(seed) + " save " + std::to_string(save) + "\n" + text;
      ASSERT_EQ("", why) << context;
      ASSERT_EQ(RESULT_OK, save_target_file(path.c_str(), &targets.stamp, targets, &why, 0, &kept)) << why << context;
      const std::vector<unsigned char> written = read_file(path);
      text.assign(written.begin(), written.end());
      ASSERT_EQ(whole, text) << context;
      // Numbered as saved, as the next save takes them.
      for (int n = 1; n <= targets.area_count; n++) {
        ASSERT_EQ(n, targets.areas[n].file_number) << context;
        for (int t = 1; t <= targets.areas[n].target_count; t++)
          ASSERT_EQ(t, targets.areas[n].targets[t].file_number) << context;
      }
      saves++;
    }
  }
  // Half the files have line feeds alone; a few edits the quick way leaves.
  EXPECT_GT(target_saves_taken_quickly() - quick_before, saves / 3);
  targets.area_count = targets.target_total = 0;
}

// A new area's section follows the text before it after one blank line,
// however that text ends (a target line with or without its line end, or
// with a line end of another kind than the file's, a comment, blank lines
// already), and starts a text it replaces whole, by the whole way and by a
// save from the kept file alike; the bytes before it stay.
TEST(TargetWriter, ANewAreaFollowsOneBlankLine) {
  const std::string area1 = "[TargetArea001]\nName=A\nPosition=100, 200\nTarget[001].Type=Hangar\nTarget[001].Offset=5, 6";
  const struct {
    const char *after;  // what follows the first area's last target line
    const char *kept;   // what the new section follows there (LF; CR LF where it differs)
    const char *kept_crlf;
    bool replaced;      // the new area takes the first one's place
  } cases[] = {{"\n", "\n\n", nullptr, false},
               {"", "\n\n", nullptr, false},
               {"\n\n", "\n\n", nullptr, false},
               {"\n\n\n", "\n\n\n", nullptr, false},
               {"\n; end\n", "\n; end\n\n", nullptr, false},
               {"\nTarget[002].Type=Tent\nTarget[002].Offset=", "\nTarget[002].Type=Tent\nTarget[002].Offset=\n\n", nullptr, false},
               {"\r", "\r\n\n", "\r\r\n", false},
               // a line of a target the area does not have stays with the area it is in
               {"\nTarget[002].Offset=9, 9\n", "\nTarget[002].Offset=9, 9\n\n", nullptr, false},
               {"\n", nullptr, nullptr, true},
               {"", nullptr, nullptr, true}};
  TempDir dir;
  const std::string path = dir.file("T_TARGETS.ini");
  for (const auto &c : cases)
    for (const char *eol : {"\n", "\r\n"}) {
      auto in_eol = [&](std::string s) {
        for (size_t at = 0; (at = s.find('\n', at)) != std::string::npos; at += strlen(eol)) s.replace(at, 1, eol);
        return s;
      };
      const std::string text = in_eol(area1 + c.after);
      const std::string before = c.replaced ? "" : in_eol(area1) + (eol[1] && c.kept_crlf ? c.kept_crlf : in_eol(c.kept));
      write_text(path, text);
      targets.area_count = targets.target_total = 0;
      TargetFile kept;
      ASSERT_EQ(RESULT_OK, load_target_areas(path.c_str(), nullptr, &kept));
      std::unique_ptr<TargetSet> file(new TargetSet);
      copy_areas(*file, targets);
      TargetArea &b = targets.areas[c.replaced ? 1 : ++targets.area_count];
      b = TargetArea();
      snprintf(b.name, sizeof(b.name), "B");
      b.target_count = 1;
      snprintf(b.targets[1].type, sizeof(b.targets[1].type), "Hangar");
      renumber(b);
      std::string why, quick;
      const std::string whole = target_text_after_edits(text.data(), (long)text.size(), targets, &why);
      const std::string context = "after \"" + std::string(c.after) + "\" with " + (eol[1] ? "CR LF" : "LF") + ":\n" + whole;
      ASSERT_EQ("", why) << context;
      EXPECT_EQ(before, whole.substr(0, whole.find(c.replaced ? "[TargetArea001]" : "[TargetArea002]"))) << context;
      // The quick way takes files of line feeds alone.
      const bool quickly = target_text_quickly(text.data(), (long)text.size(), *file, targets, &quick);
      EXPECT_EQ(text.find('\r') == std::string::npos, quickly) << context;
      if (quickly) {
        EXPECT_EQ(whole, quick) << context;
      }
      ASSERT_EQ(RESULT_OK, save_target_file(path.c_str(), &targets.stamp, targets, &why, 0, &kept)) << why;
      const std::vector<unsigned char> written = read_file(path);
      EXPECT_EQ(whole, std::string(written.begin(), written.end())) << context;
    }
  targets.area_count = targets.target_total = 0;
}

// A section the reader would not reach is refused with its name, not
// written: here the first area of a file whose other section outruns the
// reader's window before it.
TEST(TargetWriter, RefusesWhatWouldNotReadBack) {
  Sets sets;
  const std::string text = "[Notes]\n" + std::string(46000, ';') + "\n";
  TargetSet &now = *sets.now;
  now.area_count = now.target_total = 0;
  TargetArea &a = now.areas[1];
  a = TargetArea();
  snprintf(a.name, sizeof(a.name), "C");
  now.area_count = 1;
  std::string why;
  EXPECT_TRUE(target_text_after_edits(text.data(), (long)text.size(), now, &why).empty());
  EXPECT_NE(std::string::npos, why.find("[TargetArea001]")) << why;
}

TEST(TargetWriter, NumbersAreWholeMetresOrTheShortestThatReadsBack) {
  const struct {
    float value;
    const char *text;
  } cases[] = {{0, "0"}, {-1500, "-1500"}, {52890, "52890"}, {0.5f, "0.5"}, {-1.25f, "-1.25"}, {0.1f, "0.1"},
               {123456.7f, "123456.7"}, {1e20f, "1e+20"}};
  for (const auto &c : cases) EXPECT_EQ(c.text, target_number_text(c.value)) << c.value;
}

// The edits as target mode makes them, against the file: an offset given
// as drawn lands within rounding of it, also under a runway's heading; each
// change taken back and made again gives the areas exactly; a save of the
// result reads back as the areas.
TEST(TargetEdits, LandWhereDrawnUndoExactlyAndSave) {
  Sets sets;
  std::unique_ptr<TargetSet> kept(new TargetSet), after(new TargetSet);
  for (unsigned seed = 1; seed <= 40; seed++) {
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return (int)(rng() % (unsigned)n); };
    std::vector<std::string> remarks;
    const std::string text = random_file(rng, 1 + pick(5), &remarks);
    targets.area_count = targets.target_total = 0;
    ASSERT_EQ(RESULT_OK, read_target_text_into(targets, text.data(), (long)text.size(), nullptr));
    history_clear();
    for (int step = 0; step < 30; step++) {
      if (targets.area_count == 0) target_area_add("Again", 0, 0, 0, "Tank");
      const int n = 1 + pick(targets.area_count);
      const TargetArea &a = targets.areas[n];
      const int t = 1 + pick(a.target_count);
      const double dx = pick(6000) - 3000 + 0.3, dy = pick(6000) - 3000 - 0.4;
      copy_areas(*kept, targets);
      std::unique_ptr<TargetChange> change;
      switch (pick(9)) {
        case 0: change = target_area_move(n, 1000.6 * pick(300), 999.4 * pick(300)); break;
        case 1:
          change = target_move(n, t, dx, dy);
          if (change) {
            EXPECT_NEAR(dx, targets.areas[n].targets[t].offset_x, 0.75) << seed << " " << step;
            EXPECT_NEAR(dy, targets.areas[n].targets[t].offset_y, 0.75) << seed << " " << step;
          }
          break;
        case 2: change = target_area_turn(n, pick(2) ? 1 : -10); break;
        case 3: change = target_add(n, "Bunker", dx, dy); break;
        case 4: change = target_area_add("Added", pick(2), 5000, 7000, pick(2) ? "Runway3" : "Depot"); break;
        case 5: change = target_remove(n, t); break;
        case 6: change = pick(4) ? nullptr : target_area_remove(n); break;
        case 7: change = target_area_rename(n, pick(2) ? "Renamed" : a.name); break;
        default: change = target_area_switch_side(n);
      }
      if (!change) continue;
      // Through the history, as the window keeps it.
      copy_areas(*after, targets);
      const std::string what = change->what;
      ASSERT_EQ(1, history_target_step(change.release()));
      EXPECT_TRUE(history_map_changed(HISTORY_TARGET_FILE));
      EXPECT_FALSE(history_map_changed(HISTORY_TILE_MAP));
      int x, y;
      char text[HISTORY_TEXT_SIZE];
      ASSERT_EQ(0, history_undo(&x, &y, text, sizeof(text)));
      EXPECT_EQ(what, text);
      expect_same(*kept, targets, "undo of " + what);
      ASSERT_EQ(0, history_redo(&x, &y, text, sizeof(text)));
      expect_same(*after, targets, "redo of " + what);
      EXPECT_EQ(after->target_total, targets.target_total);
    }
    std::string why;
    const std::string saved = target_text_after_edits(text.data(), (long)text.size(), targets, &why);
    ASSERT_EQ("", why);
    TargetSet &back = *sets.back;
    back.area_count = back.target_total = 0;
    read_target_text_into(back, saved.data(), (long)saved.size(), nullptr);
    expect_same(targets, back, saved);
    for (int n = 1; n <= back.area_count; n++)
      for (int t = 1; t <= back.areas[n].target_count; t++) {
        ASSERT_EQ(targets.areas[n].targets[t].offset_x, back.areas[n].targets[t].offset_x);
        ASSERT_EQ(targets.areas[n].targets[t].offset_y, back.areas[n].targets[t].offset_y);
      }
  }
}

// Reading the areas again drops their steps, kept or undone, and only
// theirs: the tile steps around them still undo in order.
TEST(TargetEdits, ForgettingTheTargetsKeepsTheOtherSteps) {
  reset_program_state();
  tile_map.tiles_x = tile_map.tiles_y = 4;
  const std::string text = "[TargetArea001]\nName=A\nPosition=100,100\nTarget[001].Type=Hangar\n";
  targets.area_count = targets.target_total = 0;
  ASSERT_EQ(RESULT_OK, read_target_text_into(targets, text.data(), (long)text.size(), nullptr));
  history_clear();
  for (int k = 0; k < 3; k++) {
    history_begin(HISTORY_TEXTURE, k, 0, 0);
    tile_at(k, 0).texture = (int16_t)(10 + k);
    history_end();
    ASSERT_EQ(1, history_target_step(target_area_move(1, 1000.0 * (k + 1), 0).release()));
  }
  int x, y;
  char text_of_step[HISTORY_TEXT_SIZE];
  ASSERT_EQ(0, history_undo(&x, &y, text_of_step, sizeof(text_of_step)));  // a target step, now undone
  history_forget_targets();
  EXPECT_FALSE(history_map_changed(HISTORY_TARGET_FILE));
  EXPECT_EQ(3, history_undo_count());
  EXPECT_EQ(0, history_redo_count());
  for (int k = 2; k >= 0; k--) {
    ASSERT_EQ(0, history_undo(&x, &y, text_of_step, sizeof(text_of_step)));
    EXPECT_EQ(0, tile_at(k, 0).texture) << k;
  }
  EXPECT_EQ(2000.0f, targets.areas[1].pos_x);  // as the last kept move left it
}

// Targets on water as the opening counts them: where they are drawn (a
// runway's heading turns the others), bridges and their area's targets left
// out, targets off the terrain not counted as wet.
TEST(TargetGround, OpeningCountsTargetsOnWaterButNotBridges) {
  reset_program_state();
  tile_map.tiles_x = 4, tile_map.tiles_y = 4;
  for (int x = 0; x < 4; x++)
    for (int y = 0; y < 4; y++) tile_at(x, y).texture = x == 3 ? 2 : 1;  // the east column is sea
  texture_table.textures[2].has_water = 1;
  const struct {
    const char *types[2];
    float x, y;        // the area's position
    float offset_x;    // the second target's file offset east
    int heading;       // of the first target
    int wet;
  } cases[] = {
      {{"Hangar", "Gun"}, 1000, 1000, 0, 0, 0},           // both on land
      {{"Hangar", "Gun"}, 1000, 1000, 6000, 0, 1},        // the gun out at sea
      {{"Runway1", "Gun"}, 7000, 1000, 0, 0, 2},          // both at sea
      {{"Runway1", "Gun"}, 5000, 1000, 2000, 0, 1},       // the gun east, at sea
      {{"Runway1", "Gun"}, 5000, 1000, 2000, 180, 0},     // turned west, on land
      {{"Road Bridge", "Gun"}, 7000, 1000, 0, 0, 0},      // a bridge and its guard
      {{"Hangar", "Gun"}, 7000, 1000, 5000, 0, 1},        // the gun off the terrain
  };
  for (const auto &c : cases) {
    targets.area_count = 1;
    TargetArea &a = targets.areas[1];
    a = TargetArea();
    a.pos_x = c.x, a.pos_y = c.y;
    a.target_count = 2;
    for (int t = 1; t <= 2; t++) snprintf(a.targets[t].type, NAME_SIZE, "%s", c.types[t - 1]);
    a.targets[1].heading = c.heading;
    a.targets[2].file_offset_x = c.offset_x;
    a.runway_number = strncmp(c.types[0], "Runway", 6) == 0 ? 1 : -1;
    turn_area_targets(a);
    EXPECT_EQ(c.wet, targets_on_water_to_tell()) << c.types[0] << " at " << c.x << " offset " << c.offset_x;
  }
}

}  // namespace
