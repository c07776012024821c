// JPEG decoding through libjpeg from a memory buffer. Library errors jump back here, so that a
// corrupt or truncated file ends the decode instead of ending the program.
#include "image/image.h"

#include "platform/log.h"
#include "image/imagebytes.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

namespace
{
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

    // colour files come out RGB, one-component files grey
    stage = 2;
    jpeg_start_decompress(&info);
    uint32_t w = info.output_width, h = info.output_height;
    int comps = info.output_components;
    if (w > 0xFFFF || h > 0xFFFF || (comps != 1 && comps != 3 && comps != 4) || !CheckShape(w, h) ||
        !(buffer = Allocate(w, h, (uint8_t)comps)))
    {
        jpeg_destroy_decompress(&info);
        return DebugLog("cImage:: can`t decompress file :%s", Name());
    }

    // one row a call, straight into the picture; corrupt data past here still jumps back
    stage = 3;
    size_t rowSize = (size_t)w * comps;
    while (info.output_scanline < info.output_height)
    {
        JSAMPROW row = buffer + (size_t)info.output_scanline * rowSize;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);

    Adopt(buffer, (uint16_t)w, (uint16_t)h, (uint8_t)comps);
    FlipVertically(); // rows arrive top first
    return true;
}
