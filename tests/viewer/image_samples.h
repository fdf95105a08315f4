// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Small picture files made in memory for the image tests, and ways to break
// them: JPEG and PNG through QImage's writers, GIF through giflib.
#include <gif_lib.h>
#include <zlib.h>

#include <QBuffer>
#include <QImage>
#include <cstring>
#include <string>
#include <vector>

namespace trovix::test {

// A picture whose left half is red and right half blue.
inline QImage TwoColourImage(int width, int height) {
  QImage image(width, height, QImage::Format_ARGB32);
  image.fill(QColor(255, 0, 0));
  for (int y = 0; y < height; ++y)
    for (int x = width / 2; x < width; ++x) image.setPixel(x, y, qRgb(0, 0, 255));
  return image;
}

inline std::string Encode(const QImage &image, const char *format, int quality = 95) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format, quality);
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// A GIF of width x height whose pixel (x, y) has palette index (x + y) % 4:
// black, red, green, blue; index transparent (-1 none) is transparent. With
// frames false the file has a screen and no picture.
inline std::string MakeGif(int width, int height, int transparent = -1, bool frames = true) {
  std::string out;
  auto write = [](GifFileType *gif, const GifByteType *data, int n) {
    static_cast<std::string *>(gif->UserData)->append(reinterpret_cast<const char *>(data), n);
    return n;
  };
  int error = 0;
  GifFileType *gif = EGifOpen(&out, write, &error);
  GifColorType colours[4] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  ColorMapObject *map = GifMakeMapObject(4, colours);
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, width, height, 2, 0, map);
  if (frames) {
    if (transparent >= 0) {
      GifByteType gce[4] = {1, 0, 0, static_cast<GifByteType>(transparent)};
      EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, gce);
    }
    EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr);
    std::vector<GifPixelType> line(static_cast<size_t>(width));
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) line[x] = static_cast<GifPixelType>((x + y) % 4);
      EGifPutLine(gif, line.data(), width);
    }
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

// A PNG whose header claims width x height (with a correct checksum).
inline std::string PngClaiming(uint32_t width, uint32_t height) {
  std::string png = Encode(TwoColourImage(4, 4), "PNG");
  auto put = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) png[at + i] = static_cast<char>(v >> (24 - 8 * i));
  };
  put(16, width);
  put(20, height);
  put(29, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef *>(png.data() + 12), 17)));
  return png;
}

// The header of a BMP or ICO claiming width x height, followed by a few bytes.
inline std::string BmpClaiming(int32_t width, int32_t height) {
  std::string bmp(54 + 16, '\0');
  auto put = [&](size_t at, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) bmp[at + i] = static_cast<char>(v >> (8 * i));
  };
  bmp[0] = 'B';
  bmp[1] = 'M';
  put(2, static_cast<uint32_t>(bmp.size()), 4);
  put(10, 54, 4);
  put(14, 40, 4);
  put(18, static_cast<uint32_t>(width), 4);
  put(22, static_cast<uint32_t>(height), 4);
  put(26, 1, 2);
  put(28, 24, 2);
  return bmp;
}

// A WAV file: a second of a 440 Hz tone, 8 kHz mono 16-bit.
inline std::string MakeWav() {
  const uint32_t samples = 8000;
  std::string wav = "RIFF....WAVEfmt ";
  auto put = [&wav](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) wav.push_back(static_cast<char>(v >> (8 * i)));
  };
  put(16, 4);
  put(1, 2);
  put(1, 2);
  put(8000, 4);
  put(16000, 4);
  put(2, 2);
  put(16, 2);
  wav += "data";
  put(samples * 2, 4);
  for (uint32_t i = 0; i < samples; ++i)
    put(static_cast<uint16_t>(static_cast<int16_t>((i % 18) < 9 ? 8000 : -8000)), 2);
  const uint32_t riff = static_cast<uint32_t>(wav.size() - 8);
  for (int i = 0; i < 4; ++i) wav[4 + i] = static_cast<char>(riff >> (8 * i));
  return wav;
}

}  // namespace trovix::test
