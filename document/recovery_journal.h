// The recovery journal: while the open terrain has unsaved edits, every step
// of the history (edits, undos and redos) is appended to a file of its own
// in $XDG_STATE_HOME/veldkit/recovery/ as the values it left at the places
// it changed, so that the edits outlive a crash, a kill or a power cut. A
// thread of its own writes and syncs it, within a second of each step and
// never more than once in 200 ms, and compresses the big steps. Read back at
// the next opening of the terrain, or by --recover.
//
// The file is a list of records, each with its length and a checksum: the
// beginning (the tile map's absolute path and the stamps of both map files
// as read or last saved), the steps, the changes of target areas, and a
// file saved since. Every map record holds absolute values, so that
// replaying all of them over the files as read, or as saved since, gives
// the state of the last step. A target area record holds the whole area
// and the states of the areas' list before and after it (hashes), so that
// it is replayed only onto the state it was made on: one the file saved
// since holds already is passed over.
//
// Reading checks every record whole against the terrain in memory before
// any of it is applied: places within the maps, textures 0..511, heights
// 0..9999, lengths no more than the places need, names a line can hold;
// one that does not fit is left out and counted, and so is each damaged
// stretch, after which the reading goes on at the next whole record. It
// reads each byte once, in memory bounded by the map.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A map file as the journal began from it: enough to tell it was rewritten.
struct JournalStamp {
  int known = 0;
  int64_t size = 0;
  int64_t seconds = 0, nanoseconds = 0;  // modification time
  uint64_t hash = 0;                     // of the first and last 64 KB
};

// The stamp of the file at path now (known 0 when it cannot be read).
JournalStamp journal_stamp_of(const char *path);

// What a journal holds.
struct JournalFound {
  std::string path;      // the journal file
  std::string tile_map;  // the absolute path of the tile map it was kept for
  long long steps = 0;         // map edits made since their map's last save
  long long target_edits = 0;  // target area edits made since the last save of their file
  long long last_time = 0;  // of the last step, seconds since the epoch
  int dropped = 0;          // records that do not fit the terrain and damaged stretches: left out
  long long undeclared = 0;     // tiles the edits gave a texture the texture list does not declare
  int undeclared_texture = 0;   // the first of them
  int not_regular = 0;          // a link or no regular file: not read
  long long examined = 0;       // bytes read or checked
  int tile_bounds[4] = {0, 0, -1, -1}, sample_bounds[4] = {0, 0, -1, -1};  // of the places edited
  JournalStamp stamps[2];   // the tile map's and height map's, as the journal began from them
};

// "41 edits", or "41 map edits and 3 target area edits".
std::string journal_edits_text(const JournalFound &found);
// "2 of 44 edits could not be used and were left out." ("" for none).
std::string journal_left_out_text(const JournalFound &found);
// "3 recovered tiles take a texture the texture list does not declare (77 and others)." ("" for none).
std::string journal_texture_text(const JournalFound &found);

// When its last step was made, local time: "2026-12-09 14:32".
std::string journal_time_text(const JournalFound &found, const char *format = "%Y-%m-%d %H:%M");

// The journals' folder ("" when neither XDG_STATE_HOME nor HOME is set).
std::string journal_folder();
// The journal of the tile map at path ("" when it cannot be named).
std::string journal_path_for(const char *tfd_path);

// Reads and checks a journal against the terrain in memory; 1 when it
// holds an edit that can be used.
int read_journal(const char *journal_path, JournalFound *found);
// Every journal of the folder that holds a step, for --check.
std::vector<JournalFound> pending_journals();
// 1 when the map files at the journal's paths still have its stamps.
int journal_files_as_begun(const JournalFound &found, const char *hfd_path);

// Applies the journal's records that fit to the terrain in memory (loaded
// from the files it was kept for): 0 with the maps it changed (a bit per
// HistoryMap) in *maps and what it found in *found (may be null), 1 when it
// cannot be read.
int apply_journal(const char *journal_path, int *maps, JournalFound *found = nullptr);

// The same as steps of the history: one for the tiles, one for the
// heights and one for each target area edit, so that undo gives back the
// terrain as read. The open terrain's journal then begins anew with them.
// 0 when read.
int recover_journal(const char *journal_path, JournalFound *found);

// The journal of the open terrain.
enum JournalState {
  JOURNAL_OFF,        // cannot be written; why says so
  JOURNAL_ON,         // kept
  JOURNAL_ELSEWHERE,  // the terrain is open in another window, which keeps it
};

// Opens and locks the journal of the terrain just opened (its maps as read)
// and watches the history; an earlier one is stopped and removed. The
// journal's contents stay until discard or the next step.
int journal_start(const char *tfd_path, const char *hfd_path, std::string *why);
// The started journal's contents: 1 when it holds a step.
int journal_pending(JournalFound *found);
// Its contents go; the next step begins it anew.
void journal_discard();
// Kept for later: left as it is, and nothing more is written this session.
void journal_hold();
// At the end of the session: the journal is removed unless held.
void journal_stop();
// The first failure to write, once ("No space left on device"); "" after.
std::string journal_take_problem();
// Waits until every step so far is written and synced (tests, benchmark).
void journal_flush();
// The bytes the journal holds now.
long long journal_bytes();

// Applies the journal to the terrain in memory and writes it beside the
// tile map as a terrain of its own: NAME_recovered.TFD, its .hfd (when a
// height map is loaded), and the _DATA.ini, _LANDS.ini and _TARGETS.ini
// there are (the targets with their recovered edits), as the terrain's
// own names them (NAME_recovered_2 and on when any is taken). 0 with what
// it wrote in *written ("Desert_recovered.TFD with its .hfd and
// _DATA.ini"), else 1 with why, naming the file that failed (nothing is
// written then).
int write_recovered_terrain(const char *journal_path, const char *tfd_path, JournalFound *found,
                            std::string *written, std::string *why);
