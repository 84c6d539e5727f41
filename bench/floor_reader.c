/* The floor of opening a terrain: reads each file named on the command line
 * whole into fresh memory with fread, and nothing else. */
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv) {
  unsigned sum = 0;
  for (int i = 1; i < argc; i++) {
    FILE *f = fopen(argv[i], "rb");
    if (!f || fseek(f, 0, SEEK_END) != 0) return 1;
    long size = ftell(f);
    rewind(f);
    unsigned char *bytes = malloc(size > 0 ? (size_t)size : 1);
    if (!bytes || fread(bytes, 1, (size_t)size, f) != (size_t)size) return 1;
    fclose(f);
    sum += bytes[size / 2];
  }
  return sum == 12345 ? 2 : 0; /* keeps the reads from being optimised away */
}
