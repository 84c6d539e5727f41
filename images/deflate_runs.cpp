#include "images/deflate_runs.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/byte_order.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

enum {
  DEFLATE_BLOCK_SYMBOLS = 1 << 15,  // a block's codes follow its own bytes
  DEFLATE_MIN_RUN = 3,
  DEFLATE_MAX_RUN = 258,
  DEFLATE_LITERALS = 286,           // literals, end of block, lengths
  DEFLATE_END_OF_BLOCK = 256,
  DEFLATE_CODE_LENGTHS = 19,
  DEFLATE_MAX_BITS = 15,
  DEFLATE_MAX_LENGTH_BITS = 7,      // of the code lengths' own code
  DEFLATE_STORED_MAX = 65535,
  ADLER_BASE = 65521,
};

// The length codes: 257 + code, with extra bits above the base.
const int LENGTH_BASE[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                             31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const int LENGTH_EXTRA[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
// The order the code lengths' code lengths are stored in.
const int CODE_LENGTH_ORDER[DEFLATE_CODE_LENGTHS] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

struct LengthCodes {
  uint8_t code[DEFLATE_MAX_RUN + 1];  // by run length: its length code less 257
  LengthCodes() {
    for (int c = 0; c < 29; c++) {
      const int end = c == 27 ? DEFLATE_MAX_RUN : c == 28 ? DEFLATE_MAX_RUN + 1 : LENGTH_BASE[c + 1];
      for (int len = LENGTH_BASE[c]; len < end; len++) code[len] = (uint8_t)c;
    }
  }
} length_codes;

// Bits written from the lowest up, as deflate packs them: eight bytes
// stored each time and the whole ones kept, without a branch.
struct BitWriter {
  unsigned char *out;
  uint64_t bits = 0;
  int count = 0;  // below 8 between calls
  void put(uint32_t value, int n) {  // n <= 32
    bits |= (uint64_t)value << count;
    count += n;
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    memcpy(out, &bits, 8);
#else
    for (int k = 0; k < 8; k++) out[k] = (unsigned char)(bits >> (8 * k));
#endif
    out += count >> 3;
    bits >>= count & ~7;
    count &= 7;
  }
  // To the next byte boundary, the rest zero.
  void align() {
    if (count > 0) *out++ = (unsigned char)bits;
    bits = 0;
    count = 0;
  }
};

// Code lengths of at most limit bits for the symbols of nonzero frequency,
// the commonest shortest: a Huffman code, its deepest codes lifted to the
// limit and others lowered until the code is complete again. At least two
// symbols get codes, so that every decoder takes the code as complete.
void code_lengths(const uint32_t *freq, int n, int limit, uint8_t *lengths) {
  int used[DEFLATE_LITERALS], m = 0;
  for (int s = 0; s < n; s++) {
    lengths[s] = 0;
    if (freq[s]) used[m++] = s;
  }
  if (m < 2) {
    const int only = m ? used[0] : 0;
    lengths[only] = 1;
    lengths[only == 0 ? 1 : 0] = 1;
    return;
  }
  std::sort(used, used + m, [&](int a, int b) { return freq[a] != freq[b] ? freq[a] < freq[b] : a < b; });
  // Leaves 0 .. m - 1 in rising weight, then the joined nodes, which come
  // in rising weight too: two queues, the lightest two taken each time.
  uint64_t weight[2 * DEFLATE_LITERALS];
  int parent[2 * DEFLATE_LITERALS];
  for (int k = 0; k < m; k++) weight[k] = freq[used[k]];
  int leaf = 0, joined = m;
  for (int k = m; k < 2 * m - 1; k++) {
    int pick[2];
    for (int &p : pick) p = leaf < m && (joined >= k || weight[leaf] <= weight[joined]) ? leaf++ : joined++;
    weight[k] = weight[pick[0]] + weight[pick[1]];
    parent[pick[0]] = parent[pick[1]] = k;
  }
  int depth[2 * DEFLATE_LITERALS];
  int count[DEFLATE_MAX_BITS + 1] = {0};  // by length, the deepest lifted to the limit
  depth[2 * m - 2] = 0;
  for (int k = 2 * m - 3; k >= 0; k--) depth[k] = depth[parent[k]] + 1;
  for (int k = 0; k < m; k++) count[std::min(depth[k], limit)]++;
  // Lifted codes oversubscribe the code; each turn takes one code off the
  // deepest level and splits a shallower one in two.
  uint32_t total = 0;
  for (int len = 1; len <= limit; len++) total += (uint32_t)count[len] << (limit - len);
  while (total > (1u << limit)) {
    count[limit]--;
    for (int len = limit - 1; len > 0; len--)
      if (count[len]) {
        count[len]--;
        count[len + 1] += 2;
        break;
      }
    total--;
  }
  // The rarest symbols take the longest codes.
  int k = 0;
  for (int len = limit; len > 0; len--)
    for (int c = 0; c < count[len]; c++) lengths[used[k++]] = (uint8_t)len;
}

// The canonical codes of the lengths, bits reversed for writing low first.
void canonical_codes(const uint8_t *lengths, int n, uint32_t *codes) {
  int count[DEFLATE_MAX_BITS + 1] = {0};
  for (int s = 0; s < n; s++) count[lengths[s]]++;
  count[0] = 0;
  uint32_t next[DEFLATE_MAX_BITS + 1];
  uint32_t code = 0;
  for (int len = 1; len <= DEFLATE_MAX_BITS; len++) {
    code = (code + (uint32_t)count[len - 1]) << 1;
    next[len] = code;
  }
  for (int s = 0; s < n; s++) {
    const int len = lengths[s];
    if (!len) continue;
    uint32_t c = next[len]++, reversed = 0;
    for (int b = 0; b < len; b++, c >>= 1) reversed = reversed << 1 | (c & 1);
    codes[s] = reversed;
  }
}

// One symbol of the code lengths' sequence: a length, or a repeat with its extra bits.
struct LengthSymbol {
  uint8_t symbol, extra;
};

// The lengths of both codes as one sequence, repeats folded.
int fold_lengths(const uint8_t *lengths, int n, LengthSymbol *out) {
  int m = 0;
  for (int i = 0; i < n;) {
    const uint8_t len = lengths[i];
    int run = 1;
    while (i + run < n && lengths[i + run] == len) run++;
    i += run;
    if (len == 0) {
      while (run >= 11) {
        const int r = std::min(run, 138);
        out[m++] = LengthSymbol{18, (uint8_t)(r - 11)};
        run -= r;
      }
      if (run >= 3) {
        out[m++] = LengthSymbol{17, (uint8_t)(run - 3)};
        run = 0;
      }
    } else {
      out[m++] = LengthSymbol{len, 0};
      run--;
      while (run >= 3) {
        const int r = std::min(run, 6);
        out[m++] = LengthSymbol{16, (uint8_t)(r - 3)};
        run -= r;
      }
    }
    for (; run > 0; run--) out[m++] = LengthSymbol{len, 0};
  }
  return m;
}

const int LENGTH_SYMBOL_EXTRA[DEFLATE_CODE_LENGTHS] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 3, 7};

// The bytes of a block as stored blocks.
void put_stored(BitWriter &w, const unsigned char *in, size_t n, int final) {
  do {
    const size_t part = std::min(n, (size_t)DEFLATE_STORED_MAX);
    n -= part;
    w.put(final && n == 0 ? 1 : 0, 3);
    w.align();
    w.out = put_le16(w.out, (unsigned)part);
    w.out = put_le16(w.out, (unsigned)(~part & 0xFFFF));
    if (part) memcpy(w.out, in, part);  // an empty part may come without bytes at all
    w.out += part;
    in += part;
  } while (n > 0);
}

// The length of the run of v from p on, at most most bytes.
inline size_t run_of(const unsigned char *p, unsigned char v, size_t most) {
  const uint64_t pattern = 0x0101010101010101ull * v;
  size_t k = 0;
  for (; k + 8 <= most; k += 8) {
    uint64_t word;
    memcpy(&word, p + k, 8);
    const uint64_t differ = word ^ pattern;
    // Little-endian: the lowest differing byte is the first.
    if (differ) return k + (size_t)__builtin_ctzll(differ) / 8;
  }
  while (k < most && p[k] == v) k++;
  return k;
}

// A block's symbols: a literal byte, or 256 + a run's length.
struct Block {
  std::vector<uint16_t> symbols;  // room for a block's worth
  size_t count;
  uint32_t freq[DEFLATE_LITERALS];
  size_t bytes;
  // The Adler-32 sums so far, reduced after each block: a block's bytes
  // (at most 258 a symbol) cannot take them past 64 bits.
  uint64_t s1 = 1, s2 = 0;
};

// The first place from at on, before limit, where a run of three or more
// repeats of the byte before starts; limit when there is none.
inline size_t next_run(const unsigned char *in, size_t at, size_t limit, size_t n) {
  if (at == 0) at = 1;
#if defined(__SSE2__)
  // Sixteen places at a time: each byte against the one before and the two after.
  for (; at + 18 <= n && at < limit; at += 16) {
    const __m128i before = _mm_loadu_si128((const __m128i *)(in + at - 1));
    const __m128i here = _mm_loadu_si128((const __m128i *)(in + at));
    const __m128i next = _mm_loadu_si128((const __m128i *)(in + at + 1));
    const __m128i after = _mm_loadu_si128((const __m128i *)(in + at + 2));
    const __m128i same = _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi8(before, here), _mm_cmpeq_epi8(here, next)),
                                       _mm_cmpeq_epi8(next, after));
    const int mask = _mm_movemask_epi8(same);
    if (mask) return std::min(limit, at + (size_t)__builtin_ctz((unsigned)mask));
  }
#endif
  for (; at + 2 < n && at < limit; at++)
    if (in[at] == in[at - 1] && in[at + 1] == in[at] && in[at + 2] == in[at]) return at;
  return limit;
}

// The symbols of the bytes from at on, up to a block's worth.
size_t gather_block(const unsigned char *in, size_t at, size_t n, Block &b) {
  memset(b.freq, 0, sizeof(b.freq));
  uint16_t *sym = b.symbols.data();
  const size_t start = at;
  uint16_t *const end = sym + DEFLATE_BLOCK_SYMBOLS;
  while (at < n && sym < end) {
    // Literals up to the next run, or as many as the block has room for.
    const size_t run_at = next_run(in, at, std::min(n, at + (size_t)(end - sym)), n);
    uint64_t s1 = b.s1, s2 = b.s2;
    for (; at < run_at; at++) {
      const unsigned char v = in[at];
      *sym++ = v;
      b.freq[v]++;
      s1 += v;
      s2 += s1;
    }
    if (at < n && sym < end) {
      const unsigned char v = in[at - 1];
      const size_t run = run_of(in + at, v, std::min(n - at, (size_t)DEFLATE_MAX_RUN));
      *sym++ = (uint16_t)(256 + run);
      b.freq[257 + length_codes.code[run]]++;
      at += run;
      // run bytes of v at once.
      s2 += run * s1 + v * (uint64_t)(run * (run + 1) / 2);
      s1 += run * v;
    }
    b.s1 = s1, b.s2 = s2;
  }
  b.s1 %= ADLER_BASE, b.s2 %= ADLER_BASE;
  b.count = (size_t)(sym - b.symbols.data());
  b.freq[DEFLATE_END_OF_BLOCK] = 1;
  b.bytes = at - start;
  return at;
}

// Writes the block with codes of its own, or stored when that is smaller.
void put_block(BitWriter &w, const unsigned char *in, const Block &b, int final) {
  uint8_t lengths[DEFLATE_LITERALS];
  code_lengths(b.freq, DEFLATE_LITERALS, DEFLATE_MAX_BITS, lengths);
  int literals = DEFLATE_LITERALS;
  while (literals > 257 && lengths[literals - 1] == 0) literals--;
  // Every run is at distance 1: two distance codes of one bit, the first used.
  uint8_t both[DEFLATE_LITERALS + 2];
  memcpy(both, lengths, (size_t)literals);
  both[literals] = 1, both[literals + 1] = 1;
  LengthSymbol folded[DEFLATE_LITERALS + 2];
  const int folds = fold_lengths(both, literals + 2, folded);
  uint32_t meta_freq[DEFLATE_CODE_LENGTHS] = {0};
  for (int k = 0; k < folds; k++) meta_freq[folded[k].symbol]++;
  uint8_t meta_lengths[DEFLATE_CODE_LENGTHS];
  code_lengths(meta_freq, DEFLATE_CODE_LENGTHS, DEFLATE_MAX_LENGTH_BITS, meta_lengths);
  int stored_lengths = DEFLATE_CODE_LENGTHS;
  while (stored_lengths > 4 && meta_lengths[CODE_LENGTH_ORDER[stored_lengths - 1]] == 0) stored_lengths--;

  // The block's size both ways, in bits.
  uint64_t cost = 3 + 14 + 3 * (uint64_t)stored_lengths;
  for (int k = 0; k < folds; k++) cost += meta_lengths[folded[k].symbol] + LENGTH_SYMBOL_EXTRA[folded[k].symbol];
  for (int s = 0; s < DEFLATE_LITERALS; s++)
    cost += (uint64_t)b.freq[s] * (lengths[s] + (s > 256 ? LENGTH_EXTRA[s - 257] + 1 : 0));
  const uint64_t stored = 8 * ((uint64_t)b.bytes + 5 * (b.bytes / DEFLATE_STORED_MAX + 1) + 1);
  if (cost >= stored) {
    put_stored(w, in, b.bytes, final);
    return;
  }

  w.put(final ? 1 : 0, 1);
  w.put(2, 2);  // codes of its own
  w.put((uint32_t)(literals - 257), 5);
  w.put(1, 5);  // two distance codes
  w.put((uint32_t)(stored_lengths - 4), 4);
  for (int k = 0; k < stored_lengths; k++) w.put(meta_lengths[CODE_LENGTH_ORDER[k]], 3);
  uint32_t meta_codes[DEFLATE_CODE_LENGTHS] = {0};
  canonical_codes(meta_lengths, DEFLATE_CODE_LENGTHS, meta_codes);
  for (int k = 0; k < folds; k++) {
    const LengthSymbol f = folded[k];
    w.put(meta_codes[f.symbol], meta_lengths[f.symbol]);
    if (LENGTH_SYMBOL_EXTRA[f.symbol]) w.put(f.extra, LENGTH_SYMBOL_EXTRA[f.symbol]);
  }

  uint32_t codes[DEFLATE_LITERALS] = {0};
  canonical_codes(lengths, DEFLATE_LITERALS, codes);
  // Each symbol as one piece: a literal's code, or a run's length code,
  // extra bits and distance code (0: the one-bit code 0).
  uint32_t piece_bits[256 + DEFLATE_MAX_RUN + 1];
  uint8_t piece_count[256 + DEFLATE_MAX_RUN + 1];
  for (int v = 0; v < 256; v++) piece_bits[v] = codes[v], piece_count[v] = lengths[v];
  for (int len = DEFLATE_MIN_RUN; len <= DEFLATE_MAX_RUN; len++) {
    const int c = length_codes.code[len], s = 257 + c;
    piece_bits[256 + len] = codes[s] | (uint32_t)(len - LENGTH_BASE[c]) << lengths[s];
    piece_count[256 + len] = (uint8_t)(lengths[s] + LENGTH_EXTRA[c] + 1);
  }
  for (const uint16_t *p = b.symbols.data(), *end = p + b.count; p < end; p++) w.put(piece_bits[*p], piece_count[*p]);
  w.put(codes[DEFLATE_END_OF_BLOCK], lengths[DEFLATE_END_OF_BLOCK]);
}

}  // namespace

size_t deflate_runs_bound(size_t n) {
  // Stored blocks at worst, one or more a block of symbols, and the flush.
  const size_t blocks = n / DEFLATE_BLOCK_SYMBOLS + 1;
  // And the eight bytes the last store of bits reaches past the end.
  return n + 5 * (n / DEFLATE_STORED_MAX + 1) + 6 * blocks + 16 + 8;
}

size_t deflate_runs(const unsigned char *in, size_t n, int last, unsigned char *out, uint32_t *adler) {
  BitWriter w;
  w.out = out;
  Block b;
  b.symbols.resize(DEFLATE_BLOCK_SYMBOLS);
  size_t at = 0;
  do {
    const size_t from = at;
    at = gather_block(in, at, n, b);
    put_block(w, in + from, b, last && at == n);
  } while (at < n);
  if (!last) put_stored(w, in, 0, 0);
  w.align();
  *adler = (uint32_t)(b.s2 << 16 | b.s1);
  return (size_t)(w.out - out);
}
