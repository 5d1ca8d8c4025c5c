#include "frames.h"

#include <cmath>
#include <cstdio>
#include <jpeglib.h>

namespace v4l2emu {

namespace {

void gradientRgb(int x, int y, int w, int h, int* r, int* g, int* b)
{
    *r = int(std::lround(x * 255.0 / (w - 1)));
    *g = int(std::lround(y * 255.0 / (h - 1)));
    *b = 128;
}

uint8_t clampByte(double v)
{
    return uint8_t(v < 0 ? 0 : v > 255 ? 255 : std::lround(v));
}

int markX(int width, int n)
{
    const int positions = std::max(1, std::min(kMarkPositions, (width - 8) / 8 + 1));
    return (n % positions) * 8;
}

// Frees the compressor whatever way the encoding ends.
struct Compressor {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    unsigned char* out = nullptr;
    unsigned long size = 0;
    Compressor()
    {
        c.err = jpeg_std_error(&err);
        jpeg_create_compress(&c);
    }
    ~Compressor()
    {
        jpeg_destroy_compress(&c);
        free(out);
    }
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;
};

// Removes the DHT segments before the scan: webcams leave them out.
std::vector<uint8_t> withoutHuffmanTables(const unsigned char* p, size_t n)
{
    std::vector<uint8_t> out;
    out.reserve(n);
    size_t i = 2;
    out.insert(out.end(), p, p + 2);  // SOI
    while (i + 4 <= n && p[i] == 0xFF) {
        const uint8_t marker = p[i + 1];
        const size_t len = size_t(p[i + 2]) << 8 | p[i + 3];
        if (marker == 0xDA)
            break;  // the scan and everything after it stay as they are
        if (marker != 0xC4)
            out.insert(out.end(), p + i, p + i + 2 + len);
        i += 2 + len;
    }
    out.insert(out.end(), p + i, p + n);
    return out;
}

}  // namespace

std::vector<uint8_t> yuyvGradient(int width, int height)
{
    std::vector<uint8_t> out(size_t(width) * height * 2);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = out.data() + size_t(y) * width * 2;
        for (int x = 0; x + 1 < width; x += 2) {
            int r[2], g[2], b[2];
            gradientRgb(x, y, width, height, &r[0], &g[0], &b[0]);
            gradientRgb(x + 1, y, width, height, &r[1], &g[1], &b[1]);
            for (int k = 0; k < 2; ++k)
                row[2 * (x + k)] = clampByte(16 + (65.481 * r[k] + 128.553 * g[k] + 24.966 * b[k]) / 255);
            const double ar = (r[0] + r[1]) / 2.0, ag = (g[0] + g[1]) / 2.0, ab = (b[0] + b[1]) / 2.0;
            row[2 * x + 1] = clampByte(128 + (-37.797 * ar - 74.203 * ag + 112.0 * ab) / 255);
            row[2 * x + 3] = clampByte(128 + (112.0 * ar - 93.786 * ag - 18.214 * ab) / 255);
        }
    }
    return out;
}

void drawYuyvMark(uint8_t* yuyv, int width, int height, int n)
{
    const int x0 = markX(width, n);
    for (int y = 2; y < 10 && y < height; ++y) {
        uint8_t* row = yuyv + size_t(y) * width * 2;
        for (int x = x0; x < x0 + 8 && x < width; ++x) {
            row[2 * x] = 235;
            row[2 * x + 1] = 128;
        }
    }
}

std::vector<uint8_t> mjpegFrame(int width, int height, int n)
{
    std::vector<uint8_t> rgb(size_t(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int r, g, b;
            gradientRgb(x, y, width, height, &r, &g, &b);
            uint8_t* p = rgb.data() + (size_t(y) * width + x) * 3;
            p[0] = uint8_t(r);
            p[1] = uint8_t(g);
            p[2] = uint8_t(b);
        }
    const int x0 = markX(width, n);
    for (int y = 2; y < 10 && y < height; ++y)
        for (int x = x0; x < x0 + 8 && x < width; ++x) {
            uint8_t* p = rgb.data() + (size_t(y) * width + x) * 3;
            p[0] = p[1] = p[2] = 255;
        }

    Compressor z;
    jpeg_mem_dest(&z.c, &z.out, &z.size);
    z.c.image_width = JDIMENSION(width);
    z.c.image_height = JDIMENSION(height);
    z.c.input_components = 3;
    z.c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&z.c);
    jpeg_set_quality(&z.c, 90, TRUE);
    z.c.comp_info[0].h_samp_factor = 2;  // 4:2:2 like most webcams
    z.c.comp_info[0].v_samp_factor = 1;
    jpeg_start_compress(&z.c, TRUE);
    while (z.c.next_scanline < z.c.image_height) {
        JSAMPROW row = rgb.data() + size_t(z.c.next_scanline) * width * 3;
        jpeg_write_scanlines(&z.c, &row, 1);
    }
    jpeg_finish_compress(&z.c);
    return withoutHuffmanTables(z.out, z.size);
}

std::vector<uint8_t> damaged(const std::vector<uint8_t>& jpeg, unsigned seed)
{
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + long(jpeg.size() * 6 / 10));
    unsigned s = seed * 2654435761u + 1;
    for (size_t i = jpeg.size() * 3 / 10; i < out.size(); ++i) {
        s = s * 1103515245u + 12345u;
        out[i] = uint8_t(s >> 16);
    }
    return out;
}

}  // namespace v4l2emu
