#include "base/jpeg_codec.h"

// clang-format off
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "base/dib.h"
#include "base/dib_pixels.h"
#include "base/little_endian.h"
#include "base/page_readier.h"

namespace kamolt {
namespace {

// libjpeg gives up by calling error_exit, which must not return: we jump back to the one
// setjmp of the call in progress. Between that setjmp and the jump only libjpeg's own C
// frames and plain data live, so nothing that needs a destructor is skipped.
struct ErrorTrap {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
  bool started;  // the picture's rows are being read
  bool ranOut;   // the file ended and libjpeg supplies an end marker of its own
};

[[noreturn]] void ErrorExit(j_common_ptr info) {
  auto* trap = reinterpret_cast<ErrorTrap*>(info->err);
  (*info->err->format_message)(info, trap->message);
  std::longjmp(trap->jump, 1);
}

void EmitMessage(j_common_ptr info, int level) {
  if (level >= 0) return;
  // libjpeg recovers from damage inside a file (stray bytes, bad codes, a misplaced marker)
  // and only warns; other readers show such pictures, and so do we. A file that ends before
  // its picture does is different: what libjpeg makes up for the rest is not in the file, so
  // running out ends the call, unless it happens only where the end marker belongs.
  auto* trap = reinterpret_cast<ErrorTrap*>(info->err);
  const int code = info->err->msg_code;
  if (code == JWRN_JPEG_EOF) {
    if (!trap->started) ErrorExit(info);  // scans of a progressive file are missing
    trap->ranOut = true;
  } else if (code == JWRN_HIT_MARKER && trap->ranOut) {
    ErrorExit(info);  // the decoder met the made-up end marker before its last row
  }
  ++info->err->num_warnings;
}

void OutputMessage(j_common_ptr) {}

void InstallTrap(ErrorTrap& trap) {
  jpeg_std_error(&trap.manager);
  trap.manager.error_exit = ErrorExit;
  trap.manager.emit_message = EmitMessage;
  trap.manager.output_message = OutputMessage;
  trap.message[0] = '\0';
  trap.started = false;
  trap.ranOut = false;
}

void Refuse(ErrorTrap& trap, const char* why) {
  std::snprintf(trap.message, sizeof trap.message, "%s", why);
}

enum class Output { Bgr, Grey, Cmyk };

bool DecodeCore(jpeg_decompress_struct& info, ErrorTrap& trap, const std::uint8_t* data, std::size_t size,
                const DibAllocator& allocate, const JpegReadOptions& options, PageReadier& readier,
                std::size_t& dibSize) {
  if (setjmp(trap.jump)) return false;
  jpeg_create_decompress(&info);
  // libjpeg takes the length as unsigned long, which 64-bit Windows keeps at 32 bits: a longer
  // file would be read cut short.
  if (size > std::numeric_limits<unsigned long>::max()) {
    Refuse(trap, "Datei zu groß");
    return false;
  }
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&info, TRUE);

  Output output = Output::Bgr;
  if (info.jpeg_color_space == JCS_GRAYSCALE && !options.greyAsColour) {
    output = Output::Grey;
  } else if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK) {
    output = Output::Cmyk;
  }
  info.out_color_space = output == Output::Grey ? JCS_GRAYSCALE : output == Output::Cmyk ? JCS_CMYK : JCS_EXT_BGR;
  info.dct_method = JDCT_ISLOW;

  const int bitCount = output == Output::Grey ? 8 : 24;
  const auto rowBytes = DibRowBytes(info.image_width, bitCount);
  if (!rowBytes || info.image_height == 0 || info.image_height > 0x7FFFFFFF ||
      static_cast<std::uint64_t>(*rowBytes) * info.image_height > kLargestJpegPixels) {
    Refuse(trap, "Bild zu groß");
    return false;
  }
  const std::size_t pixels = *rowBytes * info.image_height;
  const std::size_t table = output == Output::Grey ? 256 * 4 : 0;
  dibSize = kDibHeaderSize + table + pixels;
  std::uint8_t* dib = nullptr;
  try {
    dib = allocate(dibSize);
  } catch (...) {
    // Thrown past this frame, the exception would skip the caller's jpeg_destroy_decompress.
  }
  if (dib == nullptr) {
    Refuse(trap, "zu wenig Speicher für das Bild");
    return false;
  }
  std::memset(dib, 0, kDibHeaderSize);
  Put32(dib, kDibHeaderSize);
  Put32(dib + 4, info.image_width);
  Put32(dib + 8, info.image_height);
  dib[12] = 1;
  dib[14] = static_cast<std::uint8_t>(bitCount);
  Put32(dib + 20, static_cast<std::uint32_t>(pixels));
  if (output == Output::Grey) {
    Put32(dib + 32, 256);
    for (std::uint32_t i = 0; i < 256; ++i) Put32(dib + kDibHeaderSize + 4 * i, i * 0x010101u);
  }
  std::uint8_t* bottom = dib + kDibHeaderSize + table + pixels - *rowBytes;
  const std::size_t used = static_cast<std::size_t>(info.image_width) * (bitCount / 8);

  // The rows fill the block from its end; the second thread readies the top two thirds,
  // which the decoder reaches last.
  const JDIMENSION readiedRows = info.image_height / 3 * 2;
  const JDIMENSION firstReadiedScanline = info.image_height - readiedRows;
  readier.Start(dib + kDibHeaderSize + table, dib + kDibHeaderSize + table + readiedRows * *rowBytes);

  jpeg_start_decompress(&info);
  trap.started = true;
  JSAMPARRAY cmyk = output == Output::Cmyk
                        ? (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                                    info.output_width * 4, 1)
                        : nullptr;
  // Adobe's writers store CMYK inverted, and say so in their marker.
  const bool inverted = info.saw_Adobe_marker;
  while (info.output_scanline < info.output_height) {
    if (info.output_scanline == firstReadiedScanline) readier.Wait();
    JSAMPROW row = bottom - static_cast<std::size_t>(info.output_scanline) * *rowBytes;
    std::memset(row + used, 0, *rowBytes - used);  // the padding is ours to clear
    if (cmyk == nullptr) {
      jpeg_read_scanlines(&info, &row, 1);
      continue;
    }
    jpeg_read_scanlines(&info, cmyk, 1);
    const JSAMPLE* in = cmyk[0];
    for (JDIMENSION x = 0; x < info.output_width; ++x, in += 4, row += 3) {
      const unsigned k = inverted ? in[3] : 255 - in[3];
      for (int c = 0; c < 3; ++c) {
        const unsigned ink = inverted ? in[c] : 255 - in[c];
        row[2 - c] = static_cast<JSAMPLE>((ink * k + 127) / 255);
      }
    }
  }
  // The picture is complete; whatever follows its last scan is not looked at.
  return true;
}

// The compressed file grows in a vector we own, so a failure at any point frees all of it.
// A vector that cannot grow ends the encoding through libjpeg's own error exit, outside of
// any C++ handler.
struct VectorDestination {
  jpeg_destination_mgr manager;
  std::vector<std::uint8_t>* out;
};

bool GrowOutput(std::vector<std::uint8_t>& out) {
  try {
    out.resize(out.empty() ? 65536 : out.size() * 2);
    return true;
  } catch (...) {
    return false;
  }
}

void StartOutput(j_compress_ptr info) {
  auto& destination = *reinterpret_cast<VectorDestination*>(info->dest);
  destination.out->clear();
  if (!GrowOutput(*destination.out)) ERREXIT1(info, JERR_OUT_OF_MEMORY, 0);
  destination.manager.next_output_byte = destination.out->data();
  destination.manager.free_in_buffer = destination.out->size();
}

boolean MoreOutput(j_compress_ptr info) {
  auto& destination = *reinterpret_cast<VectorDestination*>(info->dest);
  const std::size_t used = destination.out->size();
  if (!GrowOutput(*destination.out)) ERREXIT1(info, JERR_OUT_OF_MEMORY, 1);
  destination.manager.next_output_byte = destination.out->data() + used;
  destination.manager.free_in_buffer = destination.out->size() - used;
  return TRUE;
}

void EndOutput(j_compress_ptr info) {
  auto& destination = *reinterpret_cast<VectorDestination*>(info->dest);
  destination.out->resize(destination.out->size() - destination.manager.free_in_buffer);
}

bool EncodeCore(jpeg_compress_struct& info, ErrorTrap& trap, const DibPicture& picture,
                const JpegWriteOptions& options, VectorDestination& destination) {
  if (setjmp(trap.jump)) return false;
  jpeg_create_compress(&info);
  destination.manager.init_destination = StartOutput;
  destination.manager.empty_output_buffer = MoreOutput;
  destination.manager.term_destination = EndOutput;
  info.dest = &destination.manager;
  const bool grey = picture.GreyPalette();
  const bool direct = picture.BitCount() == 24;
  info.image_width = static_cast<JDIMENSION>(picture.Width());
  info.image_height = static_cast<JDIMENSION>(picture.Height());
  info.input_components = grey ? 1 : 3;
  info.in_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, options.quality < 1 ? 1 : options.quality > 100 ? 100 : options.quality, TRUE);
  info.dct_method = JDCT_ISLOW;
  if (options.progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);

  JSAMPARRAY buffer = direct ? nullptr
                             : (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                                         info.image_width * 3, 1);
  const std::vector<Rgb>& palette = picture.Palette();
  while (info.next_scanline < info.image_height) {
    const int y = static_cast<int>(info.next_scanline);
    JSAMPROW row;
    if (direct) {
      row = const_cast<JSAMPROW>(picture.RowFromTop(y));
    } else if (grey) {
      const std::uint8_t* in = picture.RowFromTop(y);
      row = buffer[0];
      for (int x = 0; x < picture.Width(); ++x) row[x] = palette[PaletteIndexAt(in, x, picture.BitCount())].r;
    } else {
      picture.RowToRgb(y, buffer[0], true);
      row = buffer[0];
    }
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  return true;
}

}  // namespace

std::variant<std::size_t, JpegError> DecodeJpegInto(const std::uint8_t* data, std::size_t size,
                                                    const DibAllocator& allocate, const JpegReadOptions& options) {
  if (data == nullptr || size == 0) return JpegError{"JPEG-Datei ist leer"};
  ErrorTrap trap;
  InstallTrap(trap);
  jpeg_decompress_struct info;
  std::memset(&info, 0, sizeof info);
  info.err = &trap.manager;
  std::size_t dibSize = 0;
  bool done = false;
  {
    // Declared outside DecodeCore, whose error exit jumps past its frame's destructors.
    PageReadier readier;
    done = DecodeCore(info, trap, data, size, allocate, options, readier, dibSize);
  }
  jpeg_destroy_decompress(&info);
  if (!done) return JpegError{std::string("JPEG-Datei fehlerhaft: ") + trap.message};
  return dibSize;
}

std::variant<std::vector<std::uint8_t>, JpegError> DecodeJpegToDib(const std::uint8_t* data, std::size_t size,
                                                                  const JpegReadOptions& options) {
  std::vector<std::uint8_t> dib;
  const DibAllocator allocate = [&dib](std::size_t bytes) -> std::uint8_t* {
    try {
      dib.resize(bytes);
      return dib.data();
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
  };
  auto result = DecodeJpegInto(data, size, allocate, options);
  if (auto* error = std::get_if<JpegError>(&result)) return *error;
  return dib;
}

std::variant<std::vector<std::uint8_t>, JpegError> DecodeJpegToDib(const std::uint8_t* data, std::size_t size) {
  return DecodeJpegToDib(data, size, JpegReadOptions{});
}

std::variant<std::vector<std::uint8_t>, JpegError> EncodeDibAsJpeg(const std::uint8_t* dib, std::size_t size,
                                                                  const JpegWriteOptions& options) {
  auto viewed = ViewDib(dib, size);
  if (auto* error = std::get_if<DibError>(&viewed)) return JpegError{error->message};
  const DibPicture& picture = std::get<DibPicture>(viewed);

  ErrorTrap trap;
  InstallTrap(trap);
  jpeg_compress_struct info;
  std::memset(&info, 0, sizeof info);
  info.err = &trap.manager;
  std::vector<std::uint8_t> file;
  VectorDestination destination{{}, &file};
  const bool done = EncodeCore(info, trap, picture, options, destination);
  jpeg_destroy_compress(&info);
  if (!done) return JpegError{std::string("JPEG-Kodierung fehlgeschlagen: ") + trap.message};
  return file;
}

std::variant<std::vector<std::uint8_t>, JpegError> EncodeDibAsJpeg(const std::uint8_t* dib, std::size_t size,
                                                                  int quality) {
  JpegWriteOptions options;
  options.quality = quality;
  return EncodeDibAsJpeg(dib, size, options);
}

}  // namespace kamolt
