#include "render/export/shaded_blocks.h"

#include <unordered_map>

#include "core/height_palette.h"

static ShadedBlocks blocks;

const ShadedBlocks &shaded_blocks() { return blocks; }

void prepare_shaded_blocks(const PixelShifts &shifts, int shading) {
  std::unordered_map<uint32_t, uint16_t> numbers;
  std::vector<uint32_t> colours;
  for (int t = 0; t < TILE_BLOCK_TURNS; t++)
    for (int texture = 0; texture <= MAX_TEXTURES; texture++)
      for (int k = 0; k < 16; k++) {
        const uint32_t pixel = tile_blocks[t][texture][k];
        put_bgr(pixel_to_bgr(pixel, shifts), &blocks.rows[t][texture][3 * k]);
        if (!shading) continue;
        // A block holds the level's pixels or 0: at most 16 colours per
        // texture, so the numbers fit 16 bits.
        auto found = numbers.emplace(pixel, (uint16_t)colours.size());
        if (found.second) colours.push_back(pixel);
        blocks.colours[t][texture][k] = found.first->second;
      }
  blocks.pixels.clear();
  blocks.bgr.clear();
  if (!shading) return;
  blocks.pixels.resize(colours.size() * 256);
  blocks.bgr.resize(colours.size() * 256);
  for (size_t n = 0; n < colours.size(); n++)
    for (int shade = 0; shade < 256; shade++) {
      const uint32_t pixel = (uint32_t)apply_shade((int)colours[n], shade);
      blocks.pixels[n * 256 + shade] = pixel;
      blocks.bgr[n * 256 + shade] = pixel_to_bgr(pixel, shifts);
    }
}
