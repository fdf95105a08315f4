// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewer/image_decode.h"

// clang-format off
#include <cstdio>  // jpeglib.h needs FILE first
#include <jpeglib.h>
#include <jerror.h>
// clang-format on
#include <gif_lib.h>
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <new>

namespace trovix {

// ---- JPEG ----------------------------------------------------------------------

namespace {

// libjpeg's default error handler ends the program; this one jumps back to
// the decoder, which cleans up and reports the library's message.
struct TJpegError {
  jpeg_error_mgr mgr;
  jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void JpegErrorExit(j_common_ptr cinfo) {
  auto *err = reinterpret_cast<TJpegError *>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  longjmp(err->jump, 1);
}

// A file cut short would otherwise decode as grey padding without a word: a
// premature end is an error. Other warnings (stray bytes between markers,
// common in files from cameras) are ignored.
void JpegEmitMessage(j_common_ptr cinfo, int level) {
  if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) JpegErrorExit(cinfo);
}

// A progressive file can hold any number of scans; a hostile one with
// thousands of tiny scans would take minutes. Real files have a few dozen.
constexpr long kMaxJpegScans = 500;

void JpegProgress(j_common_ptr cinfo) {
  auto *d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > kMaxJpegScans) {
    std::snprintf(reinterpret_cast<TJpegError *>(cinfo->err)->message, JMSG_LENGTH_MAX,
                  "too many progressive scans");
    longjmp(reinterpret_cast<TJpegError *>(cinfo->err)->jump, 2);
  }
}

struct TJpegDecoder {
  jpeg_decompress_struct cinfo;
  TJpegError err;
  jpeg_progress_mgr progress;
  bool created = false;

  TJpegDecoder() {
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = JpegErrorExit;
    err.mgr.emit_message = JpegEmitMessage;
    err.message[0] = 0;
    progress.progress_monitor = JpegProgress;
  }
  ~TJpegDecoder() {
    if (created) jpeg_destroy_decompress(&cinfo);
  }
};

// Opens the decoder on bytes and reads the header. Must be called inside the
// decoder's setjmp.
void JpegStart(TJpegDecoder &d, const std::string &bytes) {
  jpeg_create_decompress(&d.cinfo);
  d.created = true;
  d.cinfo.progress = &d.progress;
  // The library's working memory stays far below a refused picture's size.
  d.cinfo.mem->max_memory_to_use = 512L << 20;
  jpeg_mem_src(&d.cinfo, reinterpret_cast<const unsigned char *>(bytes.data()),
               static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&d.cinfo, TRUE);
}

// JpegStart, then the size check every decode makes before allocating.
// Errors jump to the caller's setjmp.
bool JpegOpen(TJpegDecoder &d, const std::string &bytes, std::string &error) {
  JpegStart(d, bytes);
  if (PictureSizeAllowed(d.cinfo.image_width, d.cinfo.image_height)) return true;
  error = "JPEG: picture too large";
  return false;
}

std::string JpegFailure(const TJpegDecoder &d) {
  return std::string("JPEG: ") + (d.err.message[0] ? d.err.message : "cannot be decoded");
}

}  // namespace

bool JpegReadInfo(const std::string &bytes, TJpegInfo &info, std::string &error) {
  TJpegDecoder d;
  if (setjmp(d.err.jump)) {
    error = JpegFailure(d);
    return false;
  }
  if (!JpegOpen(d, bytes, error)) return false;
  info.Width = static_cast<int>(d.cinfo.image_width);
  info.Height = static_cast<int>(d.cinfo.image_height);
  return true;
}

int JpegScaleDenominator(int width, int height, int wantWidth, int wantHeight) {
  if (wantWidth <= 0 || wantHeight <= 0) return 1;
  int denominator = 1;
  // The decoder rounds the scaled size up, so width / d rounded down is safe.
  while (denominator < 8 && width / (denominator * 2) >= wantWidth &&
         height / (denominator * 2) >= wantHeight)
    denominator *= 2;
  return denominator;
}

bool DecodeJpeg(const std::string &bytes, TBitmap &out, std::string &error, int denominator) {
  out = TBitmap{};
  TJpegDecoder d;
  // Set before setjmp and only read after it: volatile keeps it valid.
  TBitmap *volatile target = &out;
  std::vector<uint8_t> cmykRow;
  if (setjmp(d.err.jump)) {
    *target = TBitmap{};
    error = JpegFailure(d);
    return false;
  }
  if (!JpegOpen(d, bytes, error)) return false;
  const bool cmyk = d.cinfo.jpeg_color_space == JCS_CMYK || d.cinfo.jpeg_color_space == JCS_YCCK;
  d.cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;  // BGRA bytes = 0xAARRGGBB words
  d.cinfo.scale_num = 1;
  d.cinfo.scale_denom = static_cast<unsigned>(
      denominator == 2 || denominator == 4 || denominator == 8 ? denominator : 1);
  jpeg_calc_output_dimensions(&d.cinfo);
  const int width = static_cast<int>(d.cinfo.output_width);
  const int height = static_cast<int>(d.cinfo.output_height);
  try {
    target->Pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    if (cmyk) cmykRow.resize(static_cast<size_t>(width) * 4);
  } catch (const std::bad_alloc &) {
    error = "JPEG: not enough memory";
    return false;
  }
  target->Width = width;
  target->Height = height;
  jpeg_start_decompress(&d.cinfo);
  while (d.cinfo.output_scanline < d.cinfo.output_height) {
    uint32_t *row = target->Pixels.data() + static_cast<size_t>(d.cinfo.output_scanline) * width;
    JSAMPROW rows[1] = {cmyk ? cmykRow.data() : reinterpret_cast<JSAMPLE *>(row)};
    jpeg_read_scanlines(&d.cinfo, rows, 1);
    if (cmyk) {
      // Adobe writes CMYK inverted: each sample is 255 - ink, so the colour
      // is sample x K / 255.
      const uint8_t *s = cmykRow.data();
      for (int x = 0; x < width; ++x, s += 4) {
        const uint32_t k = s[3];
        row[x] =
            0xFF000000u | ((s[0] * k / 255) << 16) | ((s[1] * k / 255) << 8) | (s[2] * k / 255);
      }
    }
  }
  jpeg_finish_decompress(&d.cinfo);
  return true;
}

// ---- PNG -----------------------------------------------------------------------

bool DecodePng(const std::string &bytes, TBitmap &out, std::string &error) {
  out = TBitmap{};
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  // The simplified interface runs the library under its own setjmp and
  // returns a failure with the library's message instead of jumping out.
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
    error = std::string("PNG: ") + image.message;
    png_image_free(&image);
    return false;
  }
  if (!PictureSizeAllowed(image.width, image.height)) {
    error = "PNG: picture too large";
    png_image_free(&image);
    return false;
  }
  image.format = PNG_FORMAT_BGRA;  // BGRA bytes = 0xAARRGGBB words
  try {
    out.Pixels.resize(static_cast<size_t>(image.width) * image.height);
  } catch (const std::bad_alloc &) {
    error = "PNG: not enough memory";
    png_image_free(&image);
    return false;
  }
  if (!png_image_finish_read(&image, nullptr, out.Pixels.data(),
                             static_cast<png_int_32>(image.width * 4), nullptr)) {
    error = std::string("PNG: ") + image.message;
    png_image_free(&image);
    out = TBitmap{};
    return false;
  }
  out.Width = static_cast<int>(image.width);
  out.Height = static_cast<int>(image.height);
  return true;
}

// ---- GIF -----------------------------------------------------------------------

namespace {

struct TGifSource {
  const std::string *bytes;
  size_t position;
};

// The most pixels of a GIF's canvas that no frame covers.
constexpr int64_t kMaxGifBlankPixels = 16LL * 1024 * 1024;

int GifRead(GifFileType *gif, GifByteType *buffer, int length) {
  auto *source = static_cast<TGifSource *>(gif->UserData);
  if (length <= 0) return 0;
  const size_t left = source->bytes->size() - source->position;
  const size_t n = std::min(static_cast<size_t>(length), left);
  std::memcpy(buffer, source->bytes->data() + source->position, n);
  source->position += n;
  return static_cast<int>(n);
}

struct TGifCloser {
  GifFileType *gif;
  ~TGifCloser() {
    if (gif) DGifCloseFile(gif, nullptr);
  }
};

std::string GifFailure(int code) {
  const char *text = GifErrorString(code);
  return std::string("GIF: ") + (text ? text : "cannot be decoded");
}

}  // namespace

bool DecodeGif(const std::string &bytes, TBitmap &out, std::string &error) {
  out = TBitmap{};
  TGifSource source{&bytes, 0};
  int code = 0;
  TGifCloser closer{DGifOpen(&source, GifRead, &code)};
  GifFileType *gif = closer.gif;
  if (!gif) {
    error = GifFailure(code);
    return false;
  }
  int transparent = -1;
  for (;;) {
    GifRecordType type;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR) {
      error = GifFailure(gif->Error);
      return false;
    }
    if (type == TERMINATE_RECORD_TYPE) {
      error = "GIF: the file holds no picture";
      return false;
    }
    if (type == EXTENSION_RECORD_TYPE) {
      int function = 0;
      GifByteType *block = nullptr;
      if (DGifGetExtension(gif, &function, &block) == GIF_ERROR) {
        error = GifFailure(gif->Error);
        return false;
      }
      // A graphic control extension: flags, delay (2 bytes), transparent index.
      if (function == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4)
        transparent = (block[1] & 1) ? block[4] : -1;
      while (block) {
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) {
          error = GifFailure(gif->Error);
          return false;
        }
      }
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) continue;

    if (DGifGetImageDesc(gif) == GIF_ERROR) {
      error = GifFailure(gif->Error);
      return false;
    }
    const GifImageDesc &desc = gif->Image;
    const ColorMapObject *map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
    if (!map || map->ColorCount <= 0) {
      error = "GIF: no colour table";
      return false;
    }
    if (!PictureSizeAllowed(desc.Width, desc.Height) || desc.Left < 0 || desc.Top < 0) {
      error = "GIF: picture too large";
      return false;
    }
    // LZW gives at most a few thousand pixels per byte: a frame larger than
    // the rest of the file can hold is refused before anything is allocated.
    const int64_t frame = int64_t(desc.Width) * desc.Height;
    if (frame > int64_t(bytes.size() - source.position + 1) * 8192) {
      error = "GIF: the file is too short for its picture";
      return false;
    }
    // Some writers leave the logical screen 0 x 0 or smaller than the frame.
    int left = desc.Left, top = desc.Top;
    int64_t width = gif->SWidth, height = gif->SHeight;
    if (width <= 0 || height <= 0) {
      width = int64_t(left) + desc.Width;
      height = int64_t(top) + desc.Height;
    }
    // A screen (or frame offset) far larger than the frame holds no data: a
    // tiny file must not make a canvas of a gigabyte. The frame alone is shown.
    if (width * height > std::max<int64_t>(frame, kMaxGifBlankPixels)) {
      width = desc.Width;
      height = desc.Height;
      left = top = 0;
    }
    if (!PictureSizeAllowed(width, height)) {
      error = "GIF: picture too large";
      return false;
    }
    uint32_t palette[256];
    for (int i = 0; i < 256; ++i) {
      if (i < map->ColorCount) {
        const GifColorType &c = map->Colors[i];
        palette[i] = 0xFF000000u | (uint32_t(c.Red) << 16) | (uint32_t(c.Green) << 8) | c.Blue;
      } else {
        palette[i] = 0xFF000000u;
      }
    }
    if (transparent >= 0) palette[transparent] = 0;
    // Outside the frame: transparent when the frame has a transparent
    // colour, else the screen's background colour.
    uint32_t background = 0;
    if (transparent < 0 && gif->SColorMap && gif->SBackGroundColor >= 0 &&
        gif->SBackGroundColor < gif->SColorMap->ColorCount)
      background = palette[gif->SBackGroundColor];
    std::vector<GifPixelType> line;
    try {
      out.Pixels.assign(static_cast<size_t>(width * height), background);
      line.resize(static_cast<size_t>(desc.Width));
    } catch (const std::bad_alloc &) {
      out = TBitmap{};
      error = "GIF: not enough memory";
      return false;
    }
    out.Width = static_cast<int>(width);
    out.Height = static_cast<int>(height);
    // Interlaced frames send rows in four passes.
    static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    const int passes = desc.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
      const int start = desc.Interlace ? kStart[pass] : 0;
      const int step = desc.Interlace ? kStep[pass] : 1;
      for (int y = start; y < desc.Height; y += step) {
        if (DGifGetLine(gif, line.data(), desc.Width) == GIF_ERROR) {
          out = TBitmap{};
          error = GifFailure(gif->Error);
          return false;
        }
        const int row = top + y;
        if (row >= out.Height) continue;
        uint32_t *target = out.Pixels.data() + static_cast<size_t>(row) * out.Width;
        const int stop = std::min(desc.Width, out.Width - left);
        for (int x = 0; x < stop; ++x) target[left + x] = palette[line[x]];
      }
    }
    return true;
  }
}

}  // namespace trovix
