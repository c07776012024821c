// Small image files built in memory for the image, texture and font tests.
#pragma once

#include "support/testutil.h"

#include <algorithm>
#include <cstdio>

#include <jpeglib.h>

inline void PutU32(Bytes& b, size_t at, uint32_t v) { PutLe(b, at, v, 4); }

// A TGA header followed by body (pixels or packets exactly as stored).
inline Bytes BuildTga(int type, int depth, unsigned w, unsigned h, int descriptor, const Bytes& body)
{
    Bytes b(18 + body.size(), 0);
    b[2] = type, b[16] = depth, b[17] = descriptor;
    Put16(b, 12, w), Put16(b, 14, h);
    std::copy(body.begin(), body.end(), b.begin() + 18);
    return b;
}

// A BMP with pixels stored as given and a table of colours entries (i = blue i, green 2i, red 3i).
inline Bytes BuildBmp(unsigned w, unsigned h, int bits, const Bytes& pixels, uint32_t colours = 0)
{
    Bytes b(54, 0);
    b[0] = 'B', b[1] = 'M';
    PutU32(b, 10, 54 + 4 * colours), PutU32(b, 18, w), PutU32(b, 22, h), Put16(b, 26, 1), Put16(b, 28, bits);
    PutU32(b, 46, colours);
    for (uint32_t i = 0; i < colours; i++)
        b.insert(b.end(), {(unsigned char)i, (unsigned char)(2 * i), (unsigned char)(3 * i), 0});
    Append(b, pixels);
    PutU32(b, 2, (uint32_t)b.size());
    return b;
}

// A version 5 PCX of w x h with the given run-length data; palette entry i = (i, 255 - i, i / 2).
inline Bytes BuildPcx(unsigned w, unsigned h, const Bytes& rle)
{
    Bytes b(128, 0);
    b[0] = 10, b[1] = 5, b[2] = 1, b[3] = 8, b[65] = 1;
    Put16(b, 8, w - 1), Put16(b, 10, h - 1), Put16(b, 66, w);
    Append(b, rle).push_back(12);
    for (int i = 0; i < 256; i++)
        b.insert(b.end(), {(unsigned char)i, (unsigned char)(255 - i), (unsigned char)(i / 2)});
    return b;
}

// A WAL header with the given 32-bit size fields and first-level offset, then the indices.
inline Bytes BuildWal(uint32_t w, uint32_t h, uint32_t offset, const Bytes& indices)
{
    Bytes b(100, 0);
    PutU32(b, 32, w), PutU32(b, 36, h), PutU32(b, 40, offset);
    return Append(b, indices);
}

// Top-first rows of 1 or 3 components as a baseline JPEG, or a progressive one (full-size colour).
inline Bytes BuildJpeg(unsigned w, unsigned h, int components, const Bytes& pixels, int quality = 95,
                       bool progressive = false)
{
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&info, &out, &outSize);
    info.image_width = w, info.image_height = h, info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    if (progressive)
        jpeg_simple_progression(&info), info.comp_info[0].h_samp_factor = info.comp_info[0].v_samp_factor = 1;
    jpeg_start_compress(&info, TRUE);
    for (JSAMPROW row; info.next_scanline < h; jpeg_write_scanlines(&info, &row, 1))
        row = const_cast<unsigned char*>(pixels.data()) + (size_t)info.next_scanline * w * components;
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    const Bytes b(out, out + outSize);
    return free(out), b;
}

// A progressive grey JPEG of 8 x 8 pixels whose frame header claims w x h, which no scan fills.
inline Bytes BuildClaimingJpeg(unsigned w, unsigned h)
{
    Bytes b = BuildJpeg(8, 8, 1, Bytes(64, 90), 95, true);
    const unsigned char sof[] = {0xFF, 0xC2};
    const size_t at = std::search(b.begin(), b.end(), sof, sof + 2) - b.begin() + 5;
    b[at] = h >> 8, b[at + 1] = h & 0xFF, b[at + 2] = w >> 8, b[at + 3] = w & 0xFF;
    return b;
}

// The library's plain decode, one row a call, top row first; the data must be a sound JPEG.
inline Bytes DecodeJpegTopFirst(const Bytes& file, unsigned& w, unsigned& h)
{
    jpeg_decompress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, file.data(), (unsigned long)file.size());
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    w = info.output_width, h = info.output_height;
    Bytes pixels((size_t)w * info.output_components * h);
    for (JSAMPROW row; info.output_scanline < h; jpeg_read_scanlines(&info, &row, 1))
        row = pixels.data() + (size_t)info.output_scanline * w * info.output_components;
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return pixels;
}
