// JPEG decoding through libjpeg from a memory buffer. Library errors jump back here, so that a
// corrupt or truncated file ends the decode instead of ending the program, and the library's
// memory is bounded, so that a header claiming a huge picture cannot make it allocate one.
#include "image/image.h"

#include "platform/log.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

namespace
{
// The library's own memory beside the coefficients of a file of several scans: tables and a few
// rows of samples, which even the widest picture keeps well inside this.
const long JPEG_WORK_MEMORY = 8l << 20;
// Rows asked for in one call: more than the library ever hands out at once.
const int JPEG_ROWS_PER_CALL = 32;

// What a file of several scans keeps until its last scan: every coefficient, two bytes a sample
// of each component at most, over the picture padded to whole blocks of the coarsest sampling
// (32 pixels). Capped at what the largest accepted picture needs, so that no header, whatever
// it claims, gets the library to set up more.
uint64_t CoefficientBytes(uint32_t w, uint32_t h, int components)
{
    uint64_t padded = (uint64_t)(w + 31) / 32 * 32 * ((h + 31) / 32 * 32);
    return std::min(padded, IMAGE_MAX_PIXELS / 16 * 17) * 2 * components;
}

// The error record of one decode: the standard manager plus where to jump back to.
struct sJpegError
{
    jpeg_error_mgr pub;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr info)
{
    sJpegError* err = reinterpret_cast<sJpegError*>(info->err);
    err->pub.format_message(info, err->message);
    longjmp(err->jump, 1);
}

// Warnings (corrupt data the library can step over) are not worth a message each.
void OutputMessage(j_common_ptr) {}

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

// The whole file is in the buffer already: running out of it means the file is truncated.
boolean FillInputBuffer(j_decompress_ptr info)
{
    ERREXIT(info, JERR_INPUT_EOF);
    return FALSE;
}

void SkipInputData(j_decompress_ptr info, long count)
{
    jpeg_source_mgr* src = info->src;
    if (count <= 0)
        return;
    // a skip past the end leaves the source empty; the next read then fails
    if ((unsigned long)count > src->bytes_in_buffer)
        count = (long)src->bytes_in_buffer;
    src->next_input_byte += count;
    src->bytes_in_buffer -= (size_t)count;
}
} // namespace

bool cImage::LoadJPG(const unsigned char* data, uint32_t size)
{
    jpeg_decompress_struct info;
    sJpegError err;
    jpeg_source_mgr source;
    unsigned char* volatile buffer = nullptr;
    volatile int stage = 0; // 0 create, 1 header, 2 start, 3 scanlines

    memset(&info, 0, sizeof info); // lets the error path destroy a half-made decompressor
    err.message[0] = 0;
    info.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    err.pub.output_message = OutputMessage;
    if (setjmp(err.jump))
    {
        jpeg_destroy_decompress(&info);
        delete[] buffer;
        if (stage == 0)
            return DebugLog("cImage:: can`t initialize Independent JPEGGroup Lib decompression!");
        if (stage == 1)
            return DebugLog("cImage:: can`t read Independent JPEGGroup header from : %s", Name());
        if (stage == 2)
            return DebugLog("cImage:: can`t decompress file :%s", Name());
        return DebugLog("cImage:: corrupt jpeg data in %s : %s", Name(), err.message);
    }
    jpeg_create_decompress(&info);
    // The limit binds the buffers that hold a whole picture; past it the library fails (it has
    // no files to spill to) instead of allocating.
    info.mem->max_memory_to_use = JPEG_WORK_MEMORY;

    // The source hands the library the whole buffer at once and never refills it.
    stage = 1;
    source.next_input_byte = data;
    source.bytes_in_buffer = data ? size : 0;
    source.init_source = InitSource;
    source.fill_input_buffer = FillInputBuffer;
    source.skip_input_data = SkipInputData;
    source.resync_to_restart = jpeg_resync_to_restart;
    source.term_source = TermSource;
    info.src = &source;
    jpeg_read_header(&info, TRUE);

    // The sizes are known now: refuse a picture too large before anything of its size exists.
    // Colour files come out RGB, one-component files grey.
    jpeg_calc_output_dimensions(&info);
    uint32_t w = info.output_width, h = info.output_height;
    int comps = info.output_components;
    if (w > 0xFFFF || h > 0xFFFF || (comps != 1 && comps != 3 && comps != 4) || !CheckShape(w, h))
    {
        jpeg_destroy_decompress(&info);
        return DebugLog("cImage:: can`t decompress file :%s", Name());
    }
    if (jpeg_has_multiple_scans(&info))
        info.mem->max_memory_to_use += (long)CoefficientBytes(w, h, info.num_components);

    stage = 2;
    jpeg_start_decompress(&info);
    if (!(buffer = Allocate(w, h, (uint8_t)comps)))
    {
        jpeg_destroy_decompress(&info);
        return DebugLog("cImage:: can`t decompress file :%s", Name());
    }

    // Rows arrive top first, several a call, each straight into its place counted from the
    // bottom; corrupt data past here still jumps back.
    stage = 3;
    size_t rowSize = (size_t)w * comps;
    JSAMPROW rows[JPEG_ROWS_PER_CALL];
    while (info.output_scanline < h)
    {
        uint32_t first = info.output_scanline;
        uint32_t count = std::min<uint32_t>(h - first, JPEG_ROWS_PER_CALL);
        for (uint32_t i = 0; i < count; i++)
            rows[i] = buffer + (size_t)(h - 1 - first - i) * rowSize;
        jpeg_read_scanlines(&info, rows, count);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);

    Adopt(buffer, (uint16_t)w, (uint16_t)h, (uint8_t)comps);
    return true;
}
