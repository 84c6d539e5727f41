// A look at an image file's header before the library's loader reads it:
// sizes beyond what a texture may have, and headers that cannot describe
// their pixels, are refused there; encodings the loaders cannot take safely
// are marked for a plain copy (plain_image.h).
#pragma once

#include <cstdint>

enum { IMAGE_HEADER_BYTES = 512 };  // what the checks look at

enum ImageHeaderResult {
  IMAGE_HEADER_ACCEPTED = 0,  // a known format whose header passed the checks
  IMAGE_HEADER_UNKNOWN = 1,   // not a format looked at here; the loader decides
  IMAGE_HEADER_REFUSED = 2,   // damaged or too large
  IMAGE_HEADER_PLAIN_COPY = 3,  // sound, but the loader must be given a plain copy
  IMAGE_HEADER_PIXELS = 4,      // sound so far; read by images/image_pixels.h
};

// Looks at the file by its extension, as the loader chooses its format.
ImageHeaderResult check_image_header(const char *path);

// The same on the first n bytes of the file (up to IMAGE_HEADER_BYTES),
// already read, of a file of file_size bytes; path gives the extension only.
ImageHeaderResult check_image_bytes(const char *path, const unsigned char *header, long n, uint64_t file_size);

// 1 when the file's extension names a format texture files may have.
int image_extension_known(const char *path);

// Sizes a texture file may have: both sides 1 to 32767 and at most
// 4096 x 4096 pixels in all.
int image_size_accepted(long long width, long long height);
