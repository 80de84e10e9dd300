#include "picture_builders.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <jpeglib.h>

#include "byte_source.hpp"

namespace stdtest {

namespace {
std::vector<uint32_t> g_requests;
std::vector<std::unique_ptr<uint8_t[]>> g_buffers;

void Put16(Bytes& b, uint32_t v) {
  b.push_back(v & 0xFF);
  b.push_back((v >> 8) & 0xFF);
}
void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void PutBmpHeaders(Bytes& b, int w, int h, int headerSize, int bits, uint32_t mapBytes,
                   uint32_t colorsUsed, uint32_t dataBytes) {
  b = {'B', 'M'};
  const uint32_t offset = 14 + headerSize + mapBytes;
  Put32(b, offset + dataBytes);
  Put32(b, 0);
  Put32(b, offset);
  Put32(b, headerSize);
  if (headerSize == 12) {
    Put16(b, w);
    Put16(b, h);
    Put16(b, 1);
    Put16(b, bits);
    return;
  }
  Put32(b, w);
  Put32(b, h);
  Put16(b, 1);
  Put16(b, bits);
  Put32(b, 0);  // compression
  Put32(b, dataBytes);
  Put32(b, 2835);
  Put32(b, 2835);
  Put32(b, colorsUsed);
  Put32(b, 0);
  b.resize(14 + headerSize, 0);
}
}  // namespace

Rgb Pattern(int x, int y) {
  return {static_cast<uint8_t>(x * 37 + y * 3), static_cast<uint8_t>(y * 29 + 7),
          static_cast<uint8_t>((x ^ y) * 11)};
}

Bytes MakeBmp24(int w, int h, const PixelFn& pixel) {
  const uint32_t stride = (w * 3 + 3) & ~3u;
  Bytes b;
  PutBmpHeaders(b, w, h, 40, 24, 0, 0, stride * h);
  for (int y = h - 1; y >= 0; --y) {
    const size_t start = b.size();
    for (int x = 0; x < w; ++x) {
      const Rgb c = pixel(x, y);
      b.insert(b.end(), {c.b, c.g, c.r});
    }
    b.resize(start + stride, 0xEE);  // padding bytes must be skipped
  }
  return b;
}

Bytes MakeBmp8(int w, int h, int headerSize, const std::vector<Rgb>& palette,
               const std::function<uint8_t(int, int)>& index, uint32_t colorsUsed) {
  const uint32_t stride = (w + 3) & ~3u;
  const uint32_t entries = headerSize == 12 ? 256 : (colorsUsed ? colorsUsed : 256);
  const uint32_t entrySize = headerSize == 12 ? 3 : 4;
  Bytes b;
  PutBmpHeaders(b, w, h, headerSize, 8, entries * entrySize, colorsUsed, stride * h);
  for (uint32_t i = 0; i < entries; ++i) {
    const Rgb c = i < palette.size() ? palette[i] : Rgb{0, 0, 0};
    b.insert(b.end(), {c.b, c.g, c.r});
    if (entrySize == 4) b.push_back(0);
  }
  for (int y = h - 1; y >= 0; --y) {
    const size_t start = b.size();
    for (int x = 0; x < w; ++x) b.push_back(index(x, y));
    b.resize(start + stride, 0);
  }
  return b;
}

Bytes MakePpm(int type, int w, int h, int maxValue, const std::vector<uint32_t>& samples) {
  std::string head = "P" + std::to_string(type) + "\n# made by a test\n" + std::to_string(w) +
                     " " + std::to_string(h) + "\n#another comment\n" + std::to_string(maxValue) + "\n";
  Bytes b(head.begin(), head.end());
  for (size_t i = 0; i < samples.size(); ++i) {
    if (type == 2 || type == 3) {
      const std::string s = std::to_string(samples[i]) + ((i % 7 == 6) ? "\n" : " ");
      b.insert(b.end(), s.begin(), s.end());
    } else if (maxValue > 255) {
      b.push_back(samples[i] >> 8);
      b.push_back(samples[i] & 0xFF);
    } else {
      b.push_back(samples[i]);
    }
  }
  return b;
}

Bytes MakeJpeg(int w, int h, const PixelFn& pixel, const JpegOptions& options) {
  jpeg_compress_struct info{};
  jpeg_error_mgr error{};
  info.err = jpeg_std_error(&error);
  jpeg_create_compress(&info);
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  jpeg_mem_dest(&info, &out, &outSize);
  info.image_width = w;
  info.image_height = h;
  info.input_components = options.components;
  info.in_color_space = options.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, options.quality, TRUE);
  info.write_JFIF_header = options.jfif ? TRUE : FALSE;
  if (options.components == 3) {
    // Full-resolution chroma keeps the colours close to the source.
    for (int c = 0; c < 3; ++c) info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
  }
  if (options.progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  for (const Bytes& segment : options.appBefore)
    jpeg_write_marker(&info, segment[0], segment.data() + 1, static_cast<unsigned>(segment.size() - 1));
  if (!options.exifBlock.empty()) {
    Bytes exif = {'E', 'x', 'i', 'f', 0, 0};
    exif.insert(exif.end(), options.exifBlock.begin(), options.exifBlock.end());
    jpeg_write_marker(&info, JPEG_APP0 + 1, exif.data(), static_cast<unsigned>(exif.size()));
  } else if (options.orientation) {
    const bool be = options.bigEndianExif;
    Bytes exif = {'E', 'x', 'i', 'f', 0, 0};
    auto put16 = [&](uint32_t v) {
      if (be) exif.insert(exif.end(), {uint8_t(v >> 8), uint8_t(v)});
      else exif.insert(exif.end(), {uint8_t(v), uint8_t(v >> 8)});
    };
    auto put32 = [&](uint32_t v) {
      if (be) { put16(v >> 16); put16(v & 0xFFFF); }
      else { put16(v & 0xFFFF); put16(v >> 16); }
    };
    exif.insert(exif.end(), be ? std::initializer_list<uint8_t>{'M', 'M'} : std::initializer_list<uint8_t>{'I', 'I'});
    put16(42);
    put32(8);
    put16(3);                                   // entries
    put16(0x010F); put16(2); put32(4); put32(0);  // make (a decoy before the tag)
    put16(0x0112); put16(3); put32(1); put16(options.orientation); put16(0);
    put16(0x011A); put16(5); put32(1); put32(0);
    put32(0);
    jpeg_write_marker(&info, JPEG_APP0 + 1, exif.data(), static_cast<unsigned>(exif.size()));
  }
  std::vector<uint8_t> row(static_cast<size_t>(w) * options.components);
  while (info.next_scanline < info.image_height) {
    const int y = static_cast<int>(info.next_scanline);
    for (int x = 0; x < w; ++x) {
      const Rgb c = pixel(x, y);
      if (options.components == 1) {
        row[x] = c.g;
      } else {
        row[x * 3] = c.r;
        row[x * 3 + 1] = c.g;
        row[x * 3 + 2] = c.b;
      }
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  Bytes result(out, out + outSize);
  std::free(out);
  return result;
}

void* KELV_CDECL TestAllocBuffer(uint32_t bytes) {
  g_requests.push_back(bytes);
  // Like the host, refuse what no screen needs.
  if (bytes > (256u << 20)) return nullptr;
  g_buffers.push_back(std::make_unique<uint8_t[]>(bytes));
  // Fill with a marker so pixels the decoder forgets to write stand out.
  std::memset(g_buffers.back().get(), 0xCD, bytes);
  return g_buffers.back().get();
}

void ReleaseTestBuffers() { g_buffers.clear(); }

const std::vector<uint32_t>& AllocationRequests() { return g_requests; }

Decoded Decode(const Bytes& file, const Call& call) {
  g_requests.clear();
  ReleaseTestBuffers();
  stdformats::MemorySource source(file.data(), file.size());
  stdformats::DecodeContext context;
  context.allocBuffer = &TestAllocBuffer;
  context.rowSink = call.sink;
  context.ignoreOrientation = call.ignoreOrientation;
  context.fill = call.fill;
  kelv::plugin::DateTakenText date{};
  context.dateTaken = &date;
  Decoded d;
  d.wantW = call.wantW;
  d.wantH = call.wantH;
  d.srcW = call.minW;
  d.srcH = call.minH;
  void* buffer = reinterpret_cast<void*>(1);
  stdformats::DecodeArgs args{&d.wantW, &d.wantH, &d.srcW, &d.srcH,
                              call.withBuffer ? &buffer : nullptr};
  d.ok = stdformats::DecodePicture(call.kind, source, context, args);
  d.dateTaken = date.data();
  if (call.withBuffer && buffer) {
    d.gotBuffer = true;
    // The delivered buffer holds exactly wantW x wantH pixels.
    d.pixels.assign(static_cast<uint8_t*>(buffer),
                    static_cast<uint8_t*>(buffer) + static_cast<size_t>(d.wantW) * d.wantH * 4);
  }
  ReleaseTestBuffers();
  return d;
}

}  // namespace stdtest
