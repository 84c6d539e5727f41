// The main procedure of the test programs of the lower layers: the library
// without a display, memory bitmaps only, the screen a memory bitmap too.
#include <allegro.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "app/startup.h"
#include "program/session.h"
#include "tests/unit/harness.h"

int main(int argc, char **argv) {
  testing::InitGoogleTest(&argc, argv);
  use_own_state_folder();
  if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) {
    fprintf(stderr, "the library cannot start without a display\n");
    return 1;
  }
  set_uformat(U_ASCII);
  set_color_depth(32);
  screen = create_bitmap(768, 538);
  // The datafiles are read from the run directory, the tests' working directory.
  const char *run_dir = getenv("VELDKIT_RUN_DIR");
  if (run_dir && chdir(run_dir) != 0) perror("chdir");
  session.enable_targets = 1;
  if (init_display(768, 538) != 0) {
    fprintf(stderr, "start-up failed: are Veldkit1.dat and Veldkit2.dat in the run directory?\n");
    return 1;
  }
  display.back_buffer = create_bitmap(768, 538);
  int result = RUN_ALL_TESTS();
  destroy_bitmap(display.back_buffer);
  destroy_bitmap(screen);
  screen = nullptr;
  allegro_exit();
  return result;
}
END_OF_MAIN()
