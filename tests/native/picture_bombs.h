#pragma once
// Picture data that is small on the wire and large once decoded: what a
// hostile peer sends to make every participant hold memory.
#include <jpeglib.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/bmp_file.h"
#include "base/byte_io.h"
#include "collab/envelope.h"

namespace scribly::testing {

// A plain grey picture as an arithmetic-coded JPEG stream: a few hundred
// bytes for millions of pixels.
inline std::vector<uint8_t> arithmeticJpeg(uint16_t width, uint16_t height) {
  jpeg_compress_struct c;
  jpeg_error_mgr errors;
  c.err = jpeg_std_error(&errors);
  jpeg_create_compress(&c);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &buffer, &size);
  c.image_width = width;
  c.image_height = height;
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  c.arith_code = TRUE;
  jpeg_start_compress(&c, TRUE);
  std::vector<uint8_t> row(3 * size_t{width}, 200);
  while (c.next_scanline < c.image_height) {
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::vector<uint8_t> out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

// A picture's bulk record in the JPEG form around a stream.
inline std::vector<uint8_t> jpegBulk(uint16_t width, uint16_t height,
                                     const std::vector<uint8_t>& jpeg) {
  ByteWriter out;
  out.u32(1).u32(static_cast<uint32_t>(12 + jpeg.size())).u16(width).u16(height).bytes(jpeg);
  return out.take();
}

// A picture's bulk record in the raw form: a plain picture, compressed.
inline std::vector<uint8_t> rawBulk(uint16_t width, uint16_t height) {
  ByteWriter payload;
  payload.u16(width).u16(height).zeros(pictureBytes(width, height));
  return Compress(payload.data());
}

}  // namespace scribly::testing
