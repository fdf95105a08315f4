// SPDX-License-Identifier: GPL-3.0-or-later
// The arithmetic of the image view without windows: which files are images,
// the caption, zoom steps, fitting the window, panning and punching holes.
#pragma once
#include <cstdint>
#include <string>

namespace trovix {

// How an image file is read, from its extension (ignoring case).
enum class TImageFileKind { None, Bmp, Metafile, Icon, Jpeg, Gif, Png };
// The type of the file's name (the part after the last PathDelim): a ".bmp"
// in a folder's name does not make its files pictures.
TImageFileKind ImageTypeOf(const std::string &path);

// "name  (W x H)  Z%".
std::string ImageCaption(const std::string &fileName, int width, int height, int zoom);

// The largest zoom (percent) at which a picture whose longer side is side
// pixels keeps side x zoom inside 32-bit arithmetic.
int ZoomLimit(int side);
// Zoom In: 5/4 of zoom, or twice it when 5/4 does not grow; at most limit.
int ZoomIn(int zoom, int limit);
// Zoom Out: 4/5 of zoom, or zoom itself when that would reach 0.
int ZoomOut(int zoom);
// The zoom at which a picture height pixels high fits available pixels:
// 100, shrunk by 3/4 at a time, at least 1.
int FitZoom(int height, int available);
// A picture pixel count at zoom percent, in 64 bits.
inline int64_t Zoomed(int size, int zoom) { return int64_t(size) * zoom / 100; }
// An offset kept when the zoom changes from oldZoom to newZoom.
int RescaleOffset(int offset, int oldZoom, int newZoom);
// Clamps a pan offset: the picture (scaled pixels) never leaves a gap at the
// far side of a box pixels long, and never starts after the box's start; a
// picture smaller than the box stays at 0.
int ClampOffset(int offset, int64_t scaled, int box);

// Sets a regular pattern of the pixels of a 32-bit bitmap to its top-left
// pixel's colour: 0 "Lose 25%" (x and y even), 1 "Lose 50%" (x + y even),
// 2 "Lose 75%" (odd rows whole, even x of even rows). stride in pixels.
void PunchHoles(uint32_t *pixels, int width, int height, int stride, int pattern);

}  // namespace trovix
