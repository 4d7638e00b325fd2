// Round-trips a small picture through each cross-built imaging library and prints OK when
// every one gives back what it was handed. Run under Wine after cmake/build-deps.sh.

#include <cstdarg>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#include <gif_lib.h>
#include <tiffio.h>
#include <zlib.h>

namespace {

constexpr int kWidth = 37;   // odd, so row padding and partial MCUs are exercised
constexpr int kHeight = 21;

struct Failure {
    std::string what;
};

[[noreturn]] void fail(const std::string& what) { throw Failure{what}; }

// A smooth RGB picture: lossy codecs keep it close, lossless ones exactly.
std::vector<std::uint8_t> make_rgb() {
    std::vector<std::uint8_t> rgb(static_cast<size_t>(kWidth) * kHeight * 3);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            auto* p = &rgb[(static_cast<size_t>(y) * kWidth + x) * 3];
            p[0] = static_cast<std::uint8_t>(x * 255 / (kWidth - 1));
            p[1] = static_cast<std::uint8_t>(y * 255 / (kHeight - 1));
            p[2] = static_cast<std::uint8_t>(128 + (x - y) * 2);
        }
    return rgb;
}

int max_difference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    if (a.size() != b.size()) fail("size differs");
    int worst = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        int d = std::abs(int(a[i]) - int(b[i]));
        if (d > worst) worst = d;
    }
    return worst;
}

std::string temp_file(const char* name) {
    return (std::filesystem::temp_directory_path() / name).string();
}

// ---- libjpeg -------------------------------------------------------------------------------

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void jpeg_error_exit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<JpegError*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Plain C-style bodies: nothing with a destructor lives between setjmp and longjmp.
bool jpeg_encode(const std::uint8_t* rgb, unsigned char** out, unsigned long* out_size,
                 char* message) {
    jpeg_compress_struct cinfo;
    JpegError err;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpeg_error_exit;
    if (setjmp(err.jump)) {
        std::strcpy(message, err.message);
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, out, out_size);
    cinfo.image_width = kWidth;
    cinfo.image_height = kHeight;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb + cinfo.next_scanline * kWidth * 3);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

bool jpeg_decode(const unsigned char* data, unsigned long size, std::uint8_t* rgb,
                 char* message) {
    jpeg_decompress_struct cinfo;
    JpegError err;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpeg_error_exit;
    if (setjmp(err.jump)) {
        std::strcpy(message, err.message);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, size);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_width != kWidth || cinfo.output_height != kHeight ||
        cinfo.output_components != 3) {
        std::strcpy(message, "unexpected geometry");
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = rgb + cinfo.output_scanline * kWidth * 3;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

void check_jpeg(const std::vector<std::uint8_t>& rgb) {
    unsigned char* encoded = nullptr;
    unsigned long size = 0;
    char message[JMSG_LENGTH_MAX] = {};
    if (!jpeg_encode(rgb.data(), &encoded, &size, message)) fail(std::string("encode: ") + message);
    std::vector<std::uint8_t> back(rgb.size());
    bool ok = jpeg_decode(encoded, size, back.data(), message);
    std::free(encoded);
    if (!ok) fail(std::string("decode: ") + message);
    int diff = max_difference(rgb, back);
    if (diff > 24) fail("pixels drifted by " + std::to_string(diff));
    std::printf("jpeg: libjpeg-turbo %d, %lu bytes, max difference %d\n",
                LIBJPEG_TURBO_VERSION_NUMBER, size, diff);
}

// ---- libpng --------------------------------------------------------------------------------

void png_to_vector(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void png_flush_nothing(png_structp) {}

struct PngReader {
    const std::vector<std::uint8_t>* data;
    size_t pos;
};

void png_from_vector(png_structp png, png_bytep out, png_size_t length) {
    auto* r = static_cast<PngReader*>(png_get_io_ptr(png));
    if (r->pos + length > r->data->size()) png_error(png, "read past end");
    std::memcpy(out, r->data->data() + r->pos, length);
    r->pos += length;
}

bool png_encode(const std::uint8_t* rgb, std::vector<std::uint8_t>* out) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, png_to_vector, png_flush_nothing);
    png_set_IHDR(png, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < kHeight; ++y)
        png_write_row(png, const_cast<png_bytep>(rgb + y * kWidth * 3));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool png_decode(PngReader* reader, std::uint8_t* rgb) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, reader, png_from_vector);
    png_read_info(png, info);
    if (png_get_image_width(png, info) != kWidth || png_get_image_height(png, info) != kHeight ||
        png_get_color_type(png, info) != PNG_COLOR_TYPE_RGB ||
        png_get_bit_depth(png, info) != 8) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    for (int y = 0; y < kHeight; ++y) png_read_row(png, rgb + y * kWidth * 3, nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

void check_png(const std::vector<std::uint8_t>& rgb) {
    std::vector<std::uint8_t> encoded;
    if (!png_encode(rgb.data(), &encoded)) fail("encode failed");
    std::vector<std::uint8_t> back(rgb.size());
    PngReader reader{&encoded, 0};
    if (!png_decode(&reader, back.data())) fail("decode failed");
    if (max_difference(rgb, back) != 0) fail("pixels differ");
    std::printf("png: libpng %s with zlib %s, %lu bytes, exact\n", png_get_libpng_ver(nullptr),
                zlibVersion(), static_cast<unsigned long>(encoded.size()));
}

// ---- giflib --------------------------------------------------------------------------------

void check_gif() {
    const std::string path = temp_file("kamolt-deps-check.gif");
    constexpr int kColors = 16;
    // Indices include 10 and 13 so that a text-mode file would corrupt the stream.
    std::vector<GifByteType> pixels(static_cast<size_t>(kWidth) * kHeight);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<GifByteType>((i * 7 + i / kWidth) % kColors);
    GifColorType colors[kColors];
    for (int i = 0; i < kColors; ++i)
        colors[i] = GifColorType{GifByteType(i * 16), GifByteType(255 - i * 16), GifByteType(i * 5)};

    int error = 0;
    GifFileType* out = EGifOpenFileName(path.c_str(), false, &error);
    if (!out) fail(std::string("EGifOpenFileName: ") + GifErrorString(error));
    ColorMapObject* map = GifMakeMapObject(kColors, colors);
    bool written = EGifPutScreenDesc(out, kWidth, kHeight, 8, 0, map) == GIF_OK &&
                   EGifPutImageDesc(out, 0, 0, kWidth, kHeight, false, nullptr) == GIF_OK;
    for (int y = 0; written && y < kHeight; ++y)
        written = EGifPutLine(out, &pixels[static_cast<size_t>(y) * kWidth], kWidth) == GIF_OK;
    GifFreeMapObject(map);
    if (EGifCloseFile(out, &error) != GIF_OK || !written) fail("writing " + path);

    GifFileType* in = DGifOpenFileName(path.c_str(), &error);
    if (!in) fail(std::string("DGifOpenFileName: ") + GifErrorString(error));
    if (DGifSlurp(in) != GIF_OK) {
        DGifCloseFile(in, &error);
        fail("DGifSlurp failed");
    }
    bool same = in->ImageCount == 1 && in->SWidth == kWidth && in->SHeight == kHeight &&
                in->SColorMap && in->SColorMap->ColorCount == kColors;
    if (same) {
        const SavedImage& image = in->SavedImages[0];
        same = image.ImageDesc.Width == kWidth && image.ImageDesc.Height == kHeight &&
               std::memcmp(image.RasterBits, pixels.data(), pixels.size()) == 0;
        for (int i = 0; same && i < kColors; ++i)
            same = in->SColorMap->Colors[i].Red == colors[i].Red &&
                   in->SColorMap->Colors[i].Green == colors[i].Green &&
                   in->SColorMap->Colors[i].Blue == colors[i].Blue;
    }
    DGifCloseFile(in, &error);
    std::filesystem::remove(path);
    if (!same) fail("read back differs");
    std::printf("gif: giflib %d.%d.%d, exact\n", GIFLIB_MAJOR, GIFLIB_MINOR, GIFLIB_RELEASE);
}

// ---- libtiff -------------------------------------------------------------------------------

void tiff_quiet(const char*, const char*, va_list) {}

struct TiffCase {
    const char* name;
    std::uint16_t compression;
    int tolerance;
};

void check_tiff_case(const std::vector<std::uint8_t>& rgb, const TiffCase& c) {
    const std::string path = temp_file("kamolt-deps-check.tif");
    TIFF* out = TIFFOpen(path.c_str(), "w");
    if (!out) fail("TIFFOpen for writing " + path);
    TIFFSetField(out, TIFFTAG_IMAGEWIDTH, std::uint32_t(kWidth));
    TIFFSetField(out, TIFFTAG_IMAGELENGTH, std::uint32_t(kHeight));
    TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, std::uint16_t(3));
    TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, std::uint16_t(8));
    TIFFSetField(out, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(out, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    if (TIFFSetField(out, TIFFTAG_COMPRESSION, c.compression) != 1) {
        TIFFClose(out);
        fail(std::string(c.name) + " compression not available");
    }
    // Several strips, the last one short; JPEG strips must be a multiple of 8 rows.
    TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, std::uint32_t(8));
    bool written = true;
    for (int y = 0; written && y < kHeight; ++y)
        written = TIFFWriteScanline(out, const_cast<std::uint8_t*>(&rgb[y * kWidth * 3]),
                                    std::uint32_t(y), 0) == 1;
    TIFFClose(out);
    if (!written) fail(std::string(c.name) + ": writing failed");

    TIFF* in = TIFFOpen(path.c_str(), "r");
    if (!in) fail(std::string(c.name) + ": TIFFOpen for reading");
    std::uint32_t width = 0, height = 0;
    std::uint16_t compression = 0;
    TIFFGetField(in, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(in, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(in, TIFFTAG_COMPRESSION, &compression);
    std::vector<std::uint8_t> back(rgb.size());
    bool read = width == std::uint32_t(kWidth) && height == std::uint32_t(kHeight) &&
                compression == c.compression && TIFFScanlineSize(in) == kWidth * 3;
    for (int y = 0; read && y < kHeight; ++y)
        read = TIFFReadScanline(in, &back[y * kWidth * 3], std::uint32_t(y), 0) == 1;
    TIFFClose(in);
    std::filesystem::remove(path);
    if (!read) fail(std::string(c.name) + ": reading back failed");
    int diff = max_difference(rgb, back);
    if (diff > c.tolerance) fail(std::string(c.name) + ": pixels drifted by " + std::to_string(diff));
    std::printf("tiff %s: max difference %d\n", c.name, diff);
}

void check_tiff(const std::vector<std::uint8_t>& rgb) {
    TIFFSetWarningHandler(tiff_quiet);
    const TiffCase cases[] = {
        {"PackBits", COMPRESSION_PACKBITS, 0},
        {"Deflate", COMPRESSION_ADOBE_DEFLATE, 0},
        {"JPEG", COMPRESSION_JPEG, 24},
    };
    for (const TiffCase& c : cases) check_tiff_case(rgb, c);
    std::string version = TIFFGetVersion();
    std::printf("tiff: %s\n", version.substr(0, version.find('\n')).c_str());
}

}  // namespace

int main() {
    const std::vector<std::uint8_t> rgb = make_rgb();
    const char* current = "";
    try {
        current = "jpeg";
        check_jpeg(rgb);
        current = "png";
        check_png(rgb);
        current = "gif";
        check_gif();
        current = "tiff";
        check_tiff(rgb);
    } catch (const Failure& f) {
        std::printf("FAILED %s: %s\n", current, f.what.c_str());
        return 1;
    } catch (const std::exception& e) {
        std::printf("FAILED %s: %s\n", current, e.what());
        return 1;
    }
    std::printf("OK\n");
    return 0;
}
