// X protocol errors: recorded, never the end of the program. Kept apart from
// the start-up tests, whose display record shares its name with Xlib's.
#include "ui/x_errors.h"
#include "tests/unit/harness.h"

// After the test framework: Xlib's macros (None, Bool) clash with its names.
#include <X11/Xlib.h>
#include <X11/Xproto.h>

namespace {

TEST(XErrors, AnErrorReplyIsRecordedAndTheProgramGoesOn) {
  Display *connection = XOpenDisplay(nullptr);
  ASSERT_NE(nullptr, connection);
  install_x_error_recorder();
  const int before = x_errors_seen().count;
  // A window id the client never created: the server answers BadWindow.
  XMapWindow(connection, (Window)0x7ffffff0);
  XSync(connection, False);
  EXPECT_EQ(before + 1, x_errors_seen().count);
  EXPECT_EQ(BadWindow, x_errors_seen().last_code);
  EXPECT_EQ(X_MapWindow, x_errors_seen().last_request);
  XResizeWindow(connection, DefaultRootWindow(connection), 0, 0);  // a size of 0: BadValue
  XSync(connection, False);
  EXPECT_EQ(before + 2, x_errors_seen().count);
  EXPECT_EQ(BadValue, x_errors_seen().last_code);
  EXPECT_EQ(X_ConfigureWindow, x_errors_seen().last_request);
  XCloseDisplay(connection);
}

}  // namespace
