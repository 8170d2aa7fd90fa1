#include "framecode.h"

namespace krv {

namespace {

void cellBits(uint32_t frame, int channel, bool bits[kCodeCells]) {
    static const bool head[3] = {true, false, false}, tail[3] = {false, true, true};
    int ones = 0;
    for (int i = 0; i < 3; ++i) bits[i] = head[i], bits[21 + i] = tail[i];
    for (int i = 0; i < 16; ++i) {
        bits[3 + i] = (frame >> (15 - i)) & 1;
        ones += bits[3 + i];
    }
    bits[19] = ones & 1;
    bits[20] = channel == 2;
}

int stripHeight(int height) { return height / 12 > 0 ? height / 12 : 1; }

}  // namespace

void drawFrameCode(uint8_t* rgb, int width, int height, int stride, uint32_t frame, int channel) {
    bool bits[kCodeCells];
    cellBits(frame & 0xFFFF, channel, bits);
    int h = stripHeight(height);
    for (int y = 0; y < h && y < height; ++y) {
        uint8_t* row = rgb + y * stride;
        for (int x = 0; x < width; ++x) {
            uint8_t v = bits[x * kCodeCells / width] ? 255 : 0;
            row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = v;
        }
    }
}

bool readFrameCode(const uint8_t* px, int width, int height, int stride, int bpp, FrameCode& out) {
    if (!px || width < kCodeCells || height < 12 || (bpp != 3 && bpp != 4)) return false;
    int h = stripHeight(height);
    for (int flipped = 0; flipped < 2; ++flipped) {
        int y = flipped ? height - 1 - h / 2 : h / 2;
        const uint8_t* row = px + y * stride;
        bool cells[kCodeCells];
        bool clean = true;
        for (int c = 0; c < kCodeCells; ++c) {
            // Average a few pixels around the centre of the cell.
            int x0 = (2 * c + 1) * width / (2 * kCodeCells);
            int span = width / (kCodeCells * 4);
            int sum = 0, n = 0;
            for (int x = x0 - span; x <= x0 + span; ++x) {
                if (x < 0 || x >= width) continue;
                const uint8_t* p = row + x * bpp;
                sum += (p[0] + p[1] + p[2]) / 3;
                ++n;
            }
            int v = sum / n;
            if (v > 80 && v < 176) clean = false;
            cells[c] = v >= 128;
        }
        if (!clean) continue;
        for (int mirrored = 0; mirrored < 2; ++mirrored) {
            bool b[kCodeCells];
            for (int c = 0; c < kCodeCells; ++c) b[c] = cells[mirrored ? kCodeCells - 1 - c : c];
            if (!(b[0] && !b[1] && !b[2] && !b[21] && b[22] && b[23])) continue;
            uint32_t frame = 0;
            int ones = 0;
            for (int i = 0; i < 16; ++i) {
                frame = frame << 1 | b[3 + i];
                ones += b[3 + i];
            }
            if ((ones & 1) != b[19]) continue;
            out.frame = frame;
            out.channel = b[20] ? 2 : 1;
            out.mirrored = mirrored;
            out.flipped = flipped;
            return true;
        }
    }
    return false;
}

}  // namespace krv
