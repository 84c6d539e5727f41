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
// as read or last saved), the steps, and a map saved since. Every record
// holds absolute values, so that replaying all of them over the files as
// read, or as saved since, gives the state of the last step.
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
  long long steps = 0;
  long long last_time = 0;  // of the last step, seconds since the epoch
  int dropped = 0;          // records cut or damaged and not applied
  long long whole_bytes = 0;  // the bytes of the whole records before any damage
  JournalStamp stamps[2];   // the tile map's and height map's, as the journal began from them
};

// When its last step was made, local time: "2026-12-09 14:32".
std::string journal_time_text(const JournalFound &found, const char *format = "%Y-%m-%d %H:%M");

// The journals' folder ("" when neither XDG_STATE_HOME nor HOME is set).
std::string journal_folder();
// The journal of the tile map at path ("" when it cannot be named).
std::string journal_path_for(const char *tfd_path);

// Reads a journal's records up to the first damage; 1 when it holds a step.
int read_journal(const char *journal_path, JournalFound *found);
// Every journal of the folder that holds a step, for --check.
std::vector<JournalFound> pending_journals();
// 1 when the map files at the journal's paths still have its stamps.
int journal_files_as_begun(const JournalFound &found, const char *hfd_path);

// Applies the journal's whole records to the maps in memory (loaded from
// the files it was kept for): 0 with the maps it changed (a bit per
// HistoryMap) in *maps, 1 when it cannot be read.
int apply_journal(const char *journal_path, int *maps);

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
// Recovered: the new steps follow the journal's own.
void journal_continue();
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

// Applies the journal to the maps in memory and writes them beside the tile
// map as NAME_recovered.TFD and .HFD (NAME_recovered_2 and on when taken;
// the height map only when one is loaded): 0 with the names written in
// *written ("Desert_recovered.TFD and Desert_recovered.HFD"), else 1 with
// why.
int write_recovered_maps(const char *journal_path, const char *tfd_path, std::string *written, std::string *why);
