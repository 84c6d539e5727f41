#include "images/image_pixels.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "images/image_header.h"
#include "images/plain_image.h"

void free_image_pixels(ImagePixels *image) {
  free(image->rgba);
  image->rgba = nullptr;
  image->width = image->height = 0;
}

int start_image_pixels(ImagePixels *out, long long width, long long height) {
  *out = ImagePixels{0, 0, nullptr};
  if (!image_size_accepted(width, height)) return 1;
  out->rgba = (unsigned char *)calloc((size_t)(width * height), 4);
  if (!out->rgba) return 1;
  out->width = (int)width;
  out->height = (int)height;
  return 0;
}

int image_pixels_extension(const char *path) {
  const char *ext = get_extension(path);
  return ustricmp(ext, "png") == 0 || ustricmp(ext, "jpg") == 0 || ustricmp(ext, "jpeg") == 0 ||
         ustricmp(ext, "bmp") == 0;
}

BITMAP *image_pixels_bitmap(const ImagePixels &image) {
  BITMAP *bmp = create_bitmap_ex(32, image.width, image.height);
  if (!bmp) return nullptr;
  const int mask = bitmap_mask_color(bmp);
  const unsigned char *p = image.rgba;
  for (int y = 0; y < image.height; y++) {
    uint32_t *row = (uint32_t *)bmp->line[y];
    for (int x = 0; x < image.width; x++, p += 4) row[x] = p[3] < 128 ? mask : makecol32(p[0], p[1], p[2]);
  }
  return bmp;
}

int read_image_pixels(const char *path, const unsigned char *data, long size, ImagePixels *out) {
  *out = ImagePixels{0, 0, nullptr};
  const char *ext = get_extension(path);
  int (*reader)(const unsigned char *, long, ImagePixels *) = nullptr;
  if (ustricmp(ext, "png") == 0) reader = read_png_pixels;
  else if (ustricmp(ext, "jpg") == 0 || ustricmp(ext, "jpeg") == 0) reader = read_jpeg_pixels;
  else if (ustricmp(ext, "bmp") == 0) reader = read_bmp_info_pixels;
  return reader ? reader(data, size, out) : 1;
}

static int read_image_pixels_of(const char *path, ImagePixels *image) {
  if (!image_pixels_extension(path)) return 1;
  long size = 0;
  unsigned char *data = read_image_file(path, &size);
  if (!data) return 1;
  const int failed = read_image_pixels(path, data, size, image);
  free(data);
  return failed;
}

BITMAP *load_image_pixels(const char *path) {
  ImagePixels image;
  if (read_image_pixels_of(path, &image) != 0) return nullptr;
  BITMAP *bmp = image_pixels_bitmap(image);
  free_image_pixels(&image);
  return bmp;
}

int image_pixel_rgba(const char *path, int x, int y, unsigned char rgba[4]) {
  ImagePixels image;
  if (read_image_pixels_of(path, &image) != 0) return 1;
  const int inside = x >= 0 && y >= 0 && x < image.width && y < image.height;
  if (inside) memcpy(rgba, image.rgba + ((size_t)y * image.width + x) * 4, 4);
  free_image_pixels(&image);
  return inside ? 0 : 1;
}
