#pragma once
// The emulated camera's pictures: the built-in test camera's position
// gradient (red from x, green from y, blue 128) with a white 8x8 mark moving
// along y = 2..9, as YUYV or as MJPEG the way UVC webcams send it.
#include <cstdint>
#include <vector>

namespace v4l2emu {

// Mark positions cycle, so a camera needs only this many distinct MJPEG frames.
inline constexpr int kMarkPositions = 32;

// The gradient as YUYV (BT.601, limited range), without the mark.
std::vector<uint8_t> yuyvGradient(int width, int height);
// Draws the white mark of frame n into a YUYV picture.
void drawYuyvMark(uint8_t* yuyv, int width, int height, int n);

// The gradient with the mark of frame n as MJPEG: baseline 4:2:2 without
// Huffman tables (the decoder assumes the standard ones), as webcams send it.
std::vector<uint8_t> mjpegFrame(int width, int height, int n);

// A frame damaged as by lost USB packets: noise over part of the scan, the
// end (and its EOI marker) missing.
std::vector<uint8_t> damaged(const std::vector<uint8_t>& jpeg, unsigned seed);

}  // namespace v4l2emu
