#include <allegro.h>

#include "app/startup.h"

int main(int argc, char **argv) { return veldkit_main(argc, argv); }
END_OF_MAIN()
