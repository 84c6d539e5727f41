// X protocol errors are recorded and the program goes on: an error reply
// to one request (a size the display refuses, a window already gone) is no
// reason to end it.
#pragma once

// Errors seen since the program started, and the last one's error code and
// request code.
struct XErrorsSeen {
  int count;
  int last_code;
  int last_request;
};

XErrorsSeen x_errors_seen();

// Replaces the default X error handler, which prints the error and ends
// the process, with one that only records it. Lost connections still end
// the program, as they must.
void install_x_error_recorder();
