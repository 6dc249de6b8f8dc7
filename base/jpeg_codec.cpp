#include "base/jpeg_codec.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/bmp_file.h"

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

namespace scribly {

namespace {

// libjpeg reports fatal errors through error_exit, which must not return;
// jumping back to the caller's setjmp is its documented way out. Warnings
// (premature end of data, corrupt segments) count as failure too.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

[[noreturn]] void onError(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void onMessage(j_common_ptr cinfo, int level) {
  if (level < 0) std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void quiet(j_common_ptr) {}

// A progressive stream of thousands of tiny scans decodes very slowly; no
// encoder of ours writes more than one.
constexpr int kMaxScans = 64;

void limitScans(j_common_ptr cinfo) {
  if (cinfo->is_decompressor &&
      reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans) {
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
  }
}

void installErrors(ErrorManager& err) {
  jpeg_std_error(&err.pub);
  err.pub.error_exit = onError;
  err.pub.emit_message = onMessage;
  err.pub.output_message = quiet;
}

// Separate functions keep the setjmp frames free of C++ objects with
// destructors; the buffers belong to the callers.
bool encodeInto(const uint8_t* pixels, uint16_t width, uint16_t height, int quality,
                unsigned char** out, unsigned long* outSize) {
  jpeg_compress_struct cinfo;
  ErrorManager err;
  installErrors(err);
  cinfo.err = &err.pub;
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, out, outSize);
  cinfo.image_width = width;
  cinfo.image_height = height;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  cinfo.comp_info[0].h_samp_factor = 4;
  cinfo.comp_info[0].v_samp_factor = 1;
  for (int c = 1; c < 3; ++c) {
    cinfo.comp_info[c].h_samp_factor = 1;
    cinfo.comp_info[c].v_samp_factor = 1;
  }
  jpeg_start_compress(&cinfo, TRUE);
  const size_t rowBytes = pictureRowBytes(width);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(pixels + (height - 1 - cinfo.next_scanline) * rowBytes);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

bool decodeInto(const uint8_t* jpeg, size_t size, uint16_t width, uint16_t height,
                std::vector<uint8_t>& out) {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  installErrors(err);
  jpeg_progress_mgr progress;
  progress.progress_monitor = limitScans;
  cinfo.err = &err.pub;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  cinfo.progress = &progress;
  jpeg_mem_src(&cinfo, jpeg, static_cast<unsigned long>(size));
  if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK || cinfo.image_width != width ||
      cinfo.image_height != height) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  // Allocated only once the stream's own size matches the stated one.
  out.assign(pictureBytes(width, height), 0);
  cinfo.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&cinfo);
  if (cinfo.output_width != width || cinfo.output_height != height ||
      cinfo.output_components != 3) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  const size_t rowBytes = pictureRowBytes(width);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = out.data() + (height - 1 - cinfo.output_scanline) * rowBytes;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

}  // namespace

std::optional<std::vector<uint8_t>> encodeJpeg(std::span<const uint8_t> pixels, uint16_t width,
                                               uint16_t height, size_t maxBytes, int quality) {
  if (width == 0 || height == 0 || pixels.size() < pictureBytes(width, height)) {
    return std::nullopt;
  }
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  const bool ok = encodeInto(pixels.data(), width, height, quality, &buffer, &size);
  std::optional<std::vector<uint8_t>> result;
  if (ok && size <= maxBytes) result.emplace(buffer, buffer + size);
  std::free(buffer);
  return result;
}

std::optional<std::vector<uint8_t>> decodeJpeg(std::span<const uint8_t> jpeg, uint16_t width,
                                               uint16_t height) {
  const size_t bytes = pictureBytes(width, height);
  if (bytes == 0 || bytes > kMaxPictureBytes || jpeg.empty()) return std::nullopt;
  std::vector<uint8_t> out;
  if (!decodeInto(jpeg.data(), jpeg.size(), width, height, out)) return std::nullopt;
  return out;
}

}  // namespace scribly
