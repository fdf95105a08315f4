// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewer/image_encode.h"

#include <gif_lib.h>
#include <libimagequant.h>
#include <png.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

#include "foundation/file_system.h"
#include "foundation/string_arrays.h"
#include "foundation/strings.h"

namespace trovix {

const char *const ImageTypeTexts[itCount] = {
    "Bitmap (*.bmp)",    "JPEG Image File (*.jpg)",   "JPEG Image File (*.jpeg)",
    "Icon (*.ico)",      "Enhanced Metafile (*.emf)", "Metafile (*.wmf)",
    "GIF Image (*.gif)", "PNG Image (*.png)"};
const char *const ImageTypeExtensions[itCount + 1] = {".bmp", ".jpg", ".jpeg", ".ico", ".emf",
                                                      ".wmf", ".gif", ".png",  ""};

int ImageTypeOfPath(const std::string &path) {
  const std::string ext = ExtractFileExtNoDot(path);
  if (ext.empty()) return -1;
  for (int i = 0; ImageTypeExtensions[i][0] != 0; ++i)
    if (StrSame("." + ext, ImageTypeExtensions[i])) return i;
  return -1;
}

bool SaveTargetSize(int pictureWidth, int pictureHeight, bool icon, bool originalSize,
                    int targetHeight, int &width, int &height) {
  if (icon) {
    width = height = 32;
    return true;
  }
  if (originalSize) {
    width = pictureWidth;
    height = pictureHeight;
  } else {
    if (pictureHeight <= 0) return false;
    const int64_t w = static_cast<int64_t>(pictureWidth) * targetHeight / pictureHeight;
    if (w > kMaxPictureSide) return false;
    width = static_cast<int>(w);
    height = targetHeight;
  }
  return PictureSizeAllowed(width, height);
}

bool CornerColour(const TBitmap &bitmap, int corner, uint32_t &colour) {
  if (bitmap.Empty() || corner <= gcNone || corner > gcBottomRight) return false;
  const int x = (corner == gcTopRight || corner == gcBottomRight) ? bitmap.Width - 1 : 0;
  const int y = (corner == gcBottomLeft || corner == gcBottomRight) ? bitmap.Height - 1 : 0;
  colour = bitmap.Pixels[static_cast<size_t>(y) * bitmap.Width + x] & 0xFFFFFFu;
  return true;
}

namespace {

bool CheckBitmap(const TBitmap &bitmap, std::string &error) {
  if (bitmap.Empty() || !PictureSizeAllowed(bitmap.Width, bitmap.Height) ||
      bitmap.Pixels.size() != static_cast<size_t>(bitmap.Width) * bitmap.Height) {
    error = "the picture is empty or too large";
    return false;
  }
  return true;
}

// ---- JPEG ---------------------------------------------------------------------

// libjpeg reports fatal errors through error_exit, which must not return:
// it jumps back into EncodeJpegRun with the message.
struct TJpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void JpegErrorExit(j_common_ptr cinfo) {
  auto *err = reinterpret_cast<TJpegError *>(cinfo->err);
  cinfo->err->format_message(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

void JpegOutputMessage(j_common_ptr) {}  // warnings are not shown

// A destination appending to a string through a fixed buffer.
struct TJpegDestination {
  jpeg_destination_mgr mgr;
  std::string *out;
  JOCTET buffer[65536];
};

void JpegInitDestination(j_compress_ptr cinfo) {
  auto *dest = reinterpret_cast<TJpegDestination *>(cinfo->dest);
  dest->mgr.next_output_byte = dest->buffer;
  dest->mgr.free_in_buffer = sizeof dest->buffer;
}

boolean JpegEmptyBuffer(j_compress_ptr cinfo) {
  auto *dest = reinterpret_cast<TJpegDestination *>(cinfo->dest);
  dest->out->append(reinterpret_cast<const char *>(dest->buffer), sizeof dest->buffer);
  JpegInitDestination(cinfo);
  return TRUE;
}

void JpegTermDestination(j_compress_ptr cinfo) {
  auto *dest = reinterpret_cast<TJpegDestination *>(cinfo->dest);
  dest->out->append(reinterpret_cast<const char *>(dest->buffer),
                    sizeof dest->buffer - dest->mgr.free_in_buffer);
}

// Kept free of objects with destructors, so the jump skips nothing.
bool EncodeJpegRun(const TBitmap &bitmap, int quality, TJpegDestination *dest, char *message) {
  jpeg_compress_struct cinfo;
  TJpegError err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = JpegErrorExit;
  err.mgr.output_message = JpegOutputMessage;
  err.message[0] = 0;
  if (setjmp(err.jump)) {
    std::strncpy(message, err.message, JMSG_LENGTH_MAX);
    jpeg_destroy_compress(&cinfo);
    return false;
  }
  jpeg_create_compress(&cinfo);
  dest->mgr.init_destination = JpegInitDestination;
  dest->mgr.empty_output_buffer = JpegEmptyBuffer;
  dest->mgr.term_destination = JpegTermDestination;
  cinfo.dest = &dest->mgr;
  cinfo.image_width = static_cast<JDIMENSION>(bitmap.Width);
  cinfo.image_height = static_cast<JDIMENSION>(bitmap.Height);
  // 0xAARRGGBB in memory is B, G, R, A: libjpeg-turbo reads it as it is.
  cinfo.input_components = 4;
  cinfo.in_color_space = JCS_EXT_BGRX;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  const auto *base = reinterpret_cast<const unsigned char *>(bitmap.Pixels.data());
  const size_t stride = static_cast<size_t>(bitmap.Width) * 4;
  JSAMPROW rows[16];
  while (cinfo.next_scanline < cinfo.image_height) {
    JDIMENSION n = 0;
    for (; n < 16 && cinfo.next_scanline + n < cinfo.image_height; ++n)
      rows[n] = const_cast<JSAMPROW>(base + (cinfo.next_scanline + n) * stride);
    jpeg_write_scanlines(&cinfo, rows, n);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

// ---- PNG ----------------------------------------------------------------------

struct TPngState {
  std::string *out;
  std::string message;
};

void PngWrite(png_structp png, png_bytep data, png_size_t length) {
  auto *state = static_cast<TPngState *>(png_get_io_ptr(png));
  state->out->append(reinterpret_cast<const char *>(data), length);
}

void PngFlush(png_structp) {}

void PngError(png_structp png, png_const_charp message) {
  auto *state = static_cast<TPngState *>(png_get_error_ptr(png));
  state->message = message ? message : "PNG error";
  png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

// Kept free of objects with destructors, so the jump skips nothing.
bool EncodePngRun(const TBitmap &bitmap, bool alpha, TPngState *state) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, state, PngError, PngWarning);
  if (!png) {
    state->message = "out of memory";
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    state->message = "out of memory";
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, state, PngWrite, PngFlush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(bitmap.Width),
               static_cast<png_uint_32>(bitmap.Height), 8,
               alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  // Memory holds B, G, R, A per pixel.
  png_set_bgr(png);
  if (!alpha) png_set_filler(png, 0, PNG_FILLER_AFTER);
  const auto *base = reinterpret_cast<const unsigned char *>(bitmap.Pixels.data());
  const size_t stride = static_cast<size_t>(bitmap.Width) * 4;
  for (int y = 0; y < bitmap.Height; ++y)
    png_write_row(png, const_cast<png_bytep>(base + static_cast<size_t>(y) * stride));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

// ---- GIF ----------------------------------------------------------------------

// The size of the sample a large picture's palette is chosen from.
constexpr size_t kGifSample = 40000;

int GifWrite(GifFileType *gif, const GifByteType *data, int length) {
  static_cast<std::string *>(gif->UserData)->append(reinterpret_cast<const char *>(data), length);
  return length;
}

struct TLiqDeleter {
  void operator()(liq_attr *p) const { liq_attr_destroy(p); }
  void operator()(liq_image *p) const { liq_image_destroy(p); }
  void operator()(liq_result *p) const { liq_result_destroy(p); }
  void operator()(liq_histogram *p) const { liq_histogram_destroy(p); }
};

// The palette entry nearest to colour among all but skip.
int NearestEntry(const GifColorType *palette, int count, uint32_t colour, int skip) {
  const int r = (colour >> 16) & 0xFF, g = (colour >> 8) & 0xFF, b = colour & 0xFF;
  int best = skip == 0 ? 1 : 0;
  int bestDistance = -1;
  for (int i = 0; i < count; ++i) {
    if (i == skip) continue;
    const int dr = palette[i].Red - r, dg = palette[i].Green - g, db = palette[i].Blue - b;
    const int d = dr * dr + dg * dg + db * db;
    if (bestDistance < 0 || d < bestDistance) {
      bestDistance = d;
      best = i;
    }
  }
  return best;
}

}  // namespace

bool EncodeJpeg(const TBitmap &bitmap, int quality, std::string &out, std::string &error) {
  out.clear();
  if (!CheckBitmap(bitmap, error)) return false;
  if (quality < 1) quality = 1;
  if (quality > 100) quality = 100;
  auto dest = std::make_unique<TJpegDestination>();
  dest->out = &out;
  char message[JMSG_LENGTH_MAX] = {0};
  const bool ok = EncodeJpegRun(bitmap, quality, dest.get(), message);
  if (!ok) {
    out.clear();
    error = message[0] ? message : "JPEG error";
  }
  return ok;
}

bool EncodePng(const TBitmap &bitmap, std::string &out, std::string &error) {
  out.clear();
  if (!CheckBitmap(bitmap, error)) return false;
  bool alpha = false;
  for (uint32_t p : bitmap.Pixels)
    if ((p >> 24) != 0xFF) {
      alpha = true;
      break;
    }
  TPngState state{&out, {}};
  if (!EncodePngRun(bitmap, alpha, &state)) {
    out.clear();
    error = state.message.empty() ? "PNG error" : state.message;
    return false;
  }
  return true;
}

bool EncodeGif(const TBitmap &bitmap, int corner, std::string &out, std::string &error) {
  out.clear();
  if (!CheckBitmap(bitmap, error)) return false;
  const size_t count = bitmap.Pixels.size();
  uint32_t clear = 0;
  const bool transparent = CornerColour(bitmap, corner, clear);

  // RGBA bytes for the quantiser; pixels of the transparent colour get alpha
  // 0, so they share one palette entry of their own and dithering never moves
  // another pixel onto it.
  std::vector<uint8_t> rgba(count * 4);
  for (size_t i = 0; i < count; ++i) {
    const uint32_t p = bitmap.Pixels[i];
    uint8_t *d = &rgba[i * 4];
    d[0] = static_cast<uint8_t>(p >> 16);
    d[1] = static_cast<uint8_t>(p >> 8);
    d[2] = static_cast<uint8_t>(p);
    d[3] = (transparent && (p & 0xFFFFFFu) == clear) ? 0 : 255;
  }

  std::unique_ptr<liq_attr, TLiqDeleter> attr(liq_attr_create());
  if (!attr) {
    error = "out of memory";
    return false;
  }
  liq_set_max_colors(attr.get(), 256);
  // Speed 6 keeps the k-means refinement and error feedback that make the
  // quality, and skips the slower noise-sensitive dithering map.
  liq_set_speed(attr.get(), 6);
  std::unique_ptr<liq_image, TLiqDeleter> image(
      liq_image_create_rgba(attr.get(), rgba.data(), bitmap.Width, bitmap.Height, 0));
  if (!image) {
    error = "the colour reduction could not start";
    return false;
  }
  // A large picture's palette is chosen from a regular grid sample of about
  // kGifSample pixels: the palette search costs far less, and on photographs
  // the result differs by hundredths of a dB. The transparent colour is a
  // fixed entry, as a sample may miss it.
  std::vector<uint8_t> sample;
  std::unique_ptr<liq_image, TLiqDeleter> sampled;
  liq_image *source = image.get();
  if (count > 2 * kGifSample) {
    const int st = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count) / kGifSample)));
    const int sw = (bitmap.Width + st - 1) / st, sh = (bitmap.Height + st - 1) / st;
    sample.resize(static_cast<size_t>(sw) * sh * 4);
    for (int y = 0; y < sh; ++y)
      for (int x = 0; x < sw; ++x)
        std::memcpy(&sample[(static_cast<size_t>(y) * sw + x) * 4],
                    &rgba[(static_cast<size_t>(y) * st * bitmap.Width + x * st) * 4], 4);
    sampled.reset(liq_image_create_rgba(attr.get(), sample.data(), sw, sh, 0));
    if (!sampled) {
      error = "the colour reduction could not start";
      return false;
    }
    source = sampled.get();
  }
  std::unique_ptr<liq_histogram, TLiqDeleter> histogram(liq_histogram_create(attr.get()));
  if (!histogram || liq_histogram_add_image(histogram.get(), attr.get(), source) != LIQ_OK ||
      (transparent &&
       liq_histogram_add_fixed_color(
           histogram.get(),
           liq_color{static_cast<unsigned char>(clear >> 16),
                     static_cast<unsigned char>(clear >> 8), static_cast<unsigned char>(clear), 0},
           0) != LIQ_OK)) {
    error = "the colour reduction failed";
    return false;
  }
  liq_result *rawResult = nullptr;
  if (liq_histogram_quantize(histogram.get(), attr.get(), &rawResult) != LIQ_OK || !rawResult) {
    error = "the colour reduction failed";
    return false;
  }
  std::unique_ptr<liq_result, TLiqDeleter> result(rawResult);
  liq_set_dithering_level(result.get(), 1.0f);
  std::vector<uint8_t> indices(count);
  if (liq_write_remapped_image(result.get(), image.get(), indices.data(), indices.size()) !=
      LIQ_OK) {
    error = "the colour reduction failed";
    return false;
  }
  const liq_palette *pal = liq_get_palette(result.get());
  const int colours = static_cast<int>(pal->count);

  // A GIF palette has a power-of-two size of at least 2.
  int mapSize = 2;
  while (mapSize < colours) mapSize *= 2;
  std::vector<GifColorType> palette(static_cast<size_t>(mapSize), GifColorType{0, 0, 0});
  int clearIndex = -1;
  for (int i = 0; i < colours; ++i) {
    palette[i] = GifColorType{pal->entries[i].r, pal->entries[i].g, pal->entries[i].b};
    if (transparent && pal->entries[i].a == 0 && clearIndex < 0) clearIndex = i;
  }
  if (transparent) {
    if (clearIndex >= 0) {
      palette[clearIndex] =
          GifColorType{static_cast<GifByteType>(clear >> 16), static_cast<GifByteType>(clear >> 8),
                       static_cast<GifByteType>(clear)};
    }
    // Only pixels of exactly the transparent colour may use its entry.
    for (size_t i = 0; i < count; ++i) {
      const bool isClear = rgba[i * 4 + 3] == 0;
      if (isClear && clearIndex >= 0) {
        indices[i] = static_cast<uint8_t>(clearIndex);
      } else if (!isClear && indices[i] == clearIndex) {
        indices[i] = static_cast<uint8_t>(
            NearestEntry(palette.data(), colours, bitmap.Pixels[i] & 0xFFFFFFu, clearIndex));
      }
    }
  }

  int gifError = 0;
  GifFileType *gif = EGifOpen(&out, GifWrite, &gifError);
  if (!gif) {
    error = GifErrorString(gifError) ? GifErrorString(gifError) : "GIF error";
    return false;
  }
  auto fail = [&](GifFileType *g) {
    const char *text = GifErrorString(g->Error);
    error = text ? text : "GIF error";
    int closeError = 0;
    EGifCloseFile(g, &closeError);
    out.clear();
    return false;
  };
  ColorMapObject *map = GifMakeMapObject(mapSize, palette.data());
  if (!map) {
    error = "out of memory";
    EGifCloseFile(gif, &gifError);
    out.clear();
    return false;
  }
  EGifSetGifVersion(gif, transparent);
  if (EGifPutScreenDesc(gif, bitmap.Width, bitmap.Height, 8, 0, map) == GIF_ERROR) {
    GifFreeMapObject(map);
    return fail(gif);
  }
  GifFreeMapObject(map);  // the file keeps a copy
  if (transparent && clearIndex >= 0) {
    GraphicsControlBlock gcb{};
    gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
    gcb.UserInputFlag = false;
    gcb.DelayTime = 0;
    gcb.TransparentColor = clearIndex;
    GifByteType ext[4];
    const size_t len = EGifGCBToExtension(&gcb, ext);
    if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(len), ext) == GIF_ERROR)
      return fail(gif);
  }
  if (EGifPutImageDesc(gif, 0, 0, bitmap.Width, bitmap.Height, false, nullptr) == GIF_ERROR)
    return fail(gif);
  for (int y = 0; y < bitmap.Height; ++y) {
    if (EGifPutLine(gif, indices.data() + static_cast<size_t>(y) * bitmap.Width, bitmap.Width) ==
        GIF_ERROR)
      return fail(gif);
  }
  if (EGifCloseFile(gif, &gifError) == GIF_ERROR) {
    const char *text = GifErrorString(gifError);
    error = text ? text : "GIF error";
    out.clear();
    return false;
  }
  return true;
}

// ---- Saving ---------------------------------------------------------------------

namespace {

// A hidden name beside target that no file has yet.
std::string TempNameBeside(const std::string &target) {
  static unsigned counter = 0;
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  std::string name;
  do {
    name = ExtractFilePath(target) + "." + ExtractFileName(target).substr(0, 100) +
           ".trovix-save-" + CardToHex(static_cast<uint32_t>(now)) + CardToHex(++counter);
  } while (FsExists(name));
  return name;
}

}  // namespace

bool SaveBytesReplacing(const std::string &target, const std::string &bytes, int &error,
                        std::string &step) {
  error = 0;
  step.clear();
  std::string path = target;
  std::string linked;
  if (FsIsLink(path) && FsReadLink(path, linked) && !linked.empty())
    path = linked[0] == PathDelim ? linked : ExtractFilePath(path) + linked;

  const std::string temp = TempNameBeside(path);
  int handle = FsInvalidHandle;
  auto fail = [&](const char *what) {
    error = FsLastError();
    if (error == 0) error = EIO;
    step = what;
    if (handle != FsInvalidHandle) FsClose(handle);
    FsDeleteFile(temp);
    return false;
  };

  // A new file stays private until it is complete.
  handle = FsCreate(temp, true, 0600);
  if (handle == FsInvalidHandle) {
    error = FsLastError() ? FsLastError() : EIO;
    step = "create";
    return false;
  }
  int64_t done = 0;
  const int64_t size = static_cast<int64_t>(bytes.size());
  while (done < size) {
    const int64_t n = FsWrite(handle, bytes.data() + done, size - done);
    if (n <= 0) return fail("write");
    done += n;
  }
  uint32_t mode = 0;
  if (!FsGetMode(path, mode)) mode = 0666 & ~FsUmask();
  if (!FsSetMode(handle, mode & 01777)) return fail("permissions");
  if (!FsSync(handle)) return fail("write");
  const int closing = handle;
  handle = FsInvalidHandle;
  if (!FsClose(closing)) return fail("write");
  const bool ok = FsExists(path) ? FsReplace(temp, path) : FsMove(temp, path);
  if (!ok) return fail("rename");
  FsSyncFolder(ExtractFilePath(path).empty() ? std::string(".") : ExtractFilePath(path));
  return true;
}

}  // namespace trovix
