// The main procedure of the test programs that need a real window: those of
// the dialogs, the screen drawing and the shell.
#include <allegro.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "app/startup.h"
#include "program/session.h"
#include "tests/unit/harness.h"

int main(int argc, char **argv) {
  testing::InitGoogleTest(&argc, argv);
  use_own_state_folder();
  if (allegro_init() != 0) {
    fprintf(stderr, "the unit tests need an X display (run them under xvfb-run)\n");
    return 1;
  }
  install_timer();
  install_keyboard();
  install_mouse();
  set_uformat(U_ASCII);
  set_color_depth(32);
  if (set_gfx_mode(GFX_AUTODETECT_WINDOWED, 768, 538, 0, 0) != 0) {
    fprintf(stderr, "cannot set a 768 x 538 window: %s\n", allegro_error);
    return 1;
  }
  // The datafiles are read from the run directory, the tests' working directory.
  const char *run_dir = getenv("VELDKIT_RUN_DIR");
  if (run_dir && chdir(run_dir) != 0) perror("chdir");
  session.enable_targets = 1;
  if (init_program() != 0) {
    fprintf(stderr, "start-up failed: are Veldkit1.dat and Veldkit2.dat in the run directory?\n");
    return 1;
  }
  int result = RUN_ALL_TESTS();
  allegro_exit();
  return result;
}
END_OF_MAIN()
