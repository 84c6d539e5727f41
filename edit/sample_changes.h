// The height samples a step of the history changed, each with its value in
// the other state: undo and redo swap them with the map, so one copy serves
// both ways. Kept in whichever form takes least memory: every sample of a
// rectangle; a bit per sample of the changed ones' bounds and only their
// values; or the changed ones' places and values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

// Places of a map a step changed, for whoever copies their values from the
// map (the recovery journal): the bounds (inclusive; none when right <
// left) with a bit per place, column by column, or a list.
struct ChangedPlaces {
  int left = 0, top = 0, right = -1, bottom = -1;
  const uint64_t *mask = nullptr;  // null: every place of the bounds
  size_t column_bits = 0;          // from one column's first bit to the next's; 0: the rows
  const uint32_t *list = nullptr;  // instead of bounds: X * MAX_SAMPLES + Y of each
  long long listed = 0;
};

class SampleChanges {
 public:
  SampleChanges() = default;
  ~SampleChanges();
  SampleChanges(const SampleChanges &) = delete;
  SampleChanges &operator=(const SampleChanges &) = delete;

  // From before: the samples of columns left..right, rows top..bottom, as
  // they were before the command, column by column (malloc'd; this takes
  // it), compared with the map as it is now.
  void take_copy(int left, int top, int right, int bottom, uint16_t *before);
  // From (X * MAX_SAMPLES + Y, value before) pairs in increasing order,
  // some of which may not have changed.
  void take_list(const std::vector<std::pair<int64_t, uint16_t>> &list);
  // The listed form as a command made it: n places (X * MAX_SAMPLES + Y,
  // each once, in any order) and their values before, both malloc'd; this
  // takes them.
  void take_places(uint32_t *places, uint16_t *values, long long n);

  void swap_with_map();
  long long bytes() const;
  long long count() const { return count_; }  // samples kept
  ChangedPlaces places() const;

 private:
  enum Form { WHOLE, MASKED, LISTED };
  void free_all();
  // Chooses the form for changed samples within bounds of columns x rows.
  int smallest_form(long long changed, long long columns, long long rows, long long whole) const;
  int left_ = 0, top_ = 0, right_ = -1, bottom_ = -1;
  int form_ = WHOLE;
  std::vector<uint32_t> places_;       // LISTED: X * MAX_SAMPLES + Y of each
  uint32_t *taken_places_ = nullptr;   // ... or these, as take_places had them
  size_t column_words_ = 0;            // mask words per column
  std::vector<uint64_t> mask_;         // column by column
  std::vector<int64_t> column_start_;  // index in values_ of each column's first
  uint16_t *values_ = nullptr;
  long long count_ = 0;
};
