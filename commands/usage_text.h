// The usage that --help prints: every mode with its files and options, the
// export kinds and the exit codes. The parser in app/ holds the same words.
#pragma once

#include <cstdio>

void print_usage(FILE *out);
