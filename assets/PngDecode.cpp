// PNG decoding over libpng with an in-memory reader. libpng reports errors by
// longjmp, so the two functions that call into it (header and rows) hold no
// object with a destructor; everything that owns memory lives in decodePng.
#include "assets/PngDecode.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

struct ReadState {
    const unsigned char* data;
    std::size_t size;
    std::size_t position;
    char message[128];
};

void readFromMemory(png_structp png, png_bytep out, std::size_t count)
{
    auto* state = static_cast<ReadState*>(png_get_io_ptr(png));
    if (count > state->size - state->position)
        png_error(png, "unexpected end of file");
    std::memcpy(out, state->data + state->position, count);
    state->position += count;
}

void onError(png_structp png, png_const_charp message)
{
    auto* state = static_cast<ReadState*>(png_get_error_ptr(png));
    std::snprintf(state->message, sizeof state->message, "%s", message);
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

struct Header {
    png_uint_32 width;
    png_uint_32 height;
    unsigned channels;
};

// Reads the chunks before the image data and sets up the conversions to 8-bit
// RGB(A). Nothing here may own memory: a libpng error jumps straight out.
bool readHeader(png_structp png, png_infop info, const PngDecodeOptions& options, Header& header)
{
    if (setjmp(png_jmpbuf(png)))
        return false;

#ifdef PNG_HANDLE_AS_UNKNOWN_SUPPORTED
    // Chunks that cannot change the pixels are skipped instead of decoded;
    // several of them carry compressed text that would only cost time.
    static const png_byte skipped[] = "iCCP\0iTXt\0tEXt\0zTXt\0sPLT\0eXIf\0";
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, skipped, 6);
#endif
    png_read_info(png, info);

    const int colorType = png_get_color_type(png, info);
    const int bitDepth = png_get_bit_depth(png, info);
    if (colorType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS) && options.keepAlpha)
        png_set_tRNS_to_alpha(png);
    if (bitDepth == 16)
        png_set_scale_16(png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    // Expanding a palette also turns tRNS into alpha, so strip in every case.
    if (!options.keepAlpha)
        png_set_strip_alpha(png);
    const bool hasAlpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (options.fourChannels && options.keepAlpha && !hasAlpha)
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    double fileGamma = 0.0;
    if (png_get_gAMA(png, info, &fileGamma) && fileGamma > 0.0)
        png_set_gamma(png, options.screenGamma, fileGamma);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    header.width = png_get_image_width(png, info);
    header.height = png_get_image_height(png, info);
    header.channels = png_get_channels(png, info);
    if (png_get_bit_depth(png, info) != 8 || (header.channels != 3 && header.channels != 4))
        png_error(png, "unexpected pixel layout after conversion");
    return true;
}

bool readRows(png_structp png, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    // The trailing chunks are not read: once the rows are complete, a damaged
    // or missing end of file cannot change the picture.
    png_read_image(png, rows);
    return true;
}

// Owns the libpng read structures.
struct PngReader {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngReader() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

} // namespace

bool decodePng(const unsigned char* data, std::size_t size, PngImage& out, const PngDecodeOptions& options,
               std::string* error)
{
    out = PngImage{};
    ReadState state{data, size, 0, {}};
    auto fail = [&](const char* reason) {
        out = PngImage{};
        if (error)
            *error = reason;
        return false;
    };
    if (size < 8 || png_sig_cmp(data, 0, 8) != 0)
        return fail("not a PNG file");

    PngReader reader;
    reader.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, onError, onWarning);
    if (!reader.png)
        return fail("out of memory");
    reader.info = png_create_info_struct(reader.png);
    if (!reader.info)
        return fail("out of memory");
    png_set_read_fn(reader.png, &state, readFromMemory);
    if (!options.verifyChecksums) {
        png_set_crc_action(reader.png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#ifdef PNG_IGNORE_ADLER32
        png_set_option(reader.png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif
    }

    Header header{};
    if (!readHeader(reader.png, reader.info, options, header))
        return fail(state.message);
    if (std::size_t{header.width} * header.height > options.maxPixels)
        return fail("image too large");

    out.width = header.width;
    out.height = header.height;
    out.channels = header.channels;
    // Allocations that fail are a decoding failure like any other, never an
    // exception: the caller leaves the picture out and goes on.
    out.pixels.reset(new (std::nothrow) unsigned char[out.byteCount()]);
    std::unique_ptr<png_bytep[]> rows(new (std::nothrow) png_bytep[header.height]);
    if (!out.pixels || !rows)
        return fail("out of memory");
    for (png_uint_32 y = 0; y < header.height; ++y)
        rows[y] = out.pixels.get() + y * out.rowBytes();
    if (!readRows(reader.png, rows.get()))
        return fail(state.message);
    return true;
}
