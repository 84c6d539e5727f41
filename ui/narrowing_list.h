// A list under a typed line: printable keys narrow the list, Backspace
// widens it, Return or a double click takes the row under the cursor.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct NarrowingList {
  const char *title;
  const char *label;  // before the typed text, e.g. "Find: "
  int width, height;
  // The rows left by what is typed, as the caller's item numbers.
  std::function<void(const char *typed, std::vector<int> *shown)> filter;
  std::function<std::string(int item)> line;
  const char *note = nullptr;  // a line under the list; none when null
};

// The chosen item, or -1 for Esc or an empty list; typed holds what was typed.
int choose_narrowed(const NarrowingList &list, char *typed, int size);
