// Machine-readable frame number burnt into every recorded frame, so that a
// test can read back from a screenshot which frame of which channel is shown.
//
// A strip across the full width at the top of the frame, 1/12 of the frame
// high, split into 24 equal cells, each all white or all black:
//   cells 0-2    W B B   start marker
//   cells 3-18   frame number, 16 bits, most significant first (white = 1)
//   cell  19     parity: white when the 16 bits hold an odd number of ones
//   cell  20     channel: black = channel 1, white = channel 2
//   cells 21-23  B W W   end marker
// The markers are not symmetric, so a mirrored picture is recognised (and
// read), and the strip is also looked for at the bottom (a flipped picture).
#pragma once

#include <cstdint>

namespace krv {

constexpr int kCodeCells = 24;

struct FrameCode {
    uint32_t frame = 0;
    int channel = 0;  // 1 or 2
    bool mirrored = false;
    bool flipped = false;
};

// Draws the strip into an RGB24 picture (rows top-down, `stride` bytes apart).
void drawFrameCode(uint8_t* rgb, int width, int height, int stride, uint32_t frame, int channel);

// Reads the strip from a picture with 3 or 4 bytes per pixel (any channel
// order; the three colour bytes are averaged). Returns false when no valid
// strip is found.
bool readFrameCode(const uint8_t* pixels, int width, int height, int stride, int bytesPerPixel, FrameCode& out);

}  // namespace krv
