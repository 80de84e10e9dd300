#include "sysformats_decode.hpp"

#include <cstddef>
#include <cstring>
#include <limits>
#include <new>

namespace sysformats {

bool BelowSizeFilter(int64_t w, int64_t h, int32_t mw, int32_t mh) {
  if (mw <= 0 || mh <= 0) return false;
  return (w < mw && h < mh) || (w < mh && h < mw);
}

uint32_t OutputBytes(uint32_t width, uint32_t height, bool rowMode) {
  uint64_t bytes = static_cast<uint64_t>(width) * 4 * (rowMode ? 1 : height);
  return bytes > std::numeric_limits<uint32_t>::max() ? 0 : static_cast<uint32_t>(bytes);
}

int32_t ApplyOptions(ModuleOptions& state, TInModuleOptions* options, bool& release) {
  release = false;
  if (!options || options->size < 8) return 0;
  const bool hasFlags = KELV_OPTIONS_COVER(options, flags);
  if (hasFlags && (options->flags & KELV_OPT_RELEASE)) {
    release = true;
    return 1;
  }
  // The decoders are six-argument entries from the start; acknowledging is all it takes.
  if (hasFlags && (options->flags & KELV_OPT_SIX_ARG)) options->flags &= ~KELV_OPT_SIX_ARG;
  if (KELV_OPTIONS_COVER(options, allocBuffer)) state.allocBuffer = options->allocBuffer;
  if (KELV_OPTIONS_COVER(options, rowSinkVariable)) state.rowSinkVariable = options->rowSinkVariable;
  return 1;
}

kelv::plugin::DateTakenText DateTakenInFile(const uint8_t* data, size_t size) {
  static const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (!data) return {};
  if (size >= 8 && (std::memcmp(data, "II*\0", 4) == 0 || std::memcmp(data, "MM\0*", 4) == 0))
    return kelv::plugin::ReadDateTaken(data, size);
  if (size < 8 || std::memcmp(data, kPngSignature, 8) != 0) return {};
  // The chunks in order, each length, type, data and CRC, up to the end chunk; writers put
  // the EXIF chunk before the image data or, older ones, after it.
  for (size_t at = 8; size - at >= 12;) {
    const uint32_t length = uint32_t{data[at]} << 24 | uint32_t{data[at + 1]} << 16 |
                            uint32_t{data[at + 2]} << 8 | data[at + 3];
    const uint8_t* type = data + at + 4;
    if (length > size - at - 12) return {};
    if (std::memcmp(type, "eXIf", 4) == 0) return kelv::plugin::ReadDateTaken(data + at + 8, length);
    if (std::memcmp(type, "IEND", 4) == 0) return {};
    at += 12 + static_cast<size_t>(length);
  }
  return {};
}

kelv::plugin::DateTakenText DateTakenOf(Picture& picture) {
  kelv::plugin::DateTakenText date{};
  for (const uint32_t tag : {0x9003u, 0x9004u, 0x0132u}) {
    std::string text;
    if (!picture.PropertyText(tag, text) || !kelv::plugin::ValidExifDate(text.c_str(), text.size())) continue;
    text.copy(date.data(), KELV_DATE_TAKEN_LENGTH);
    date[KELV_DATE_TAKEN_LENGTH] = '\0';
    return date;
  }
  const uint8_t* data = nullptr;
  size_t size = 0;
  if (picture.FileBytes(data, size)) return DateTakenInFile(data, size);
  return date;
}

namespace {

// Keeps a rectangle locked for as long as it lives.
struct LockGuard {
  Picture& picture;
  ~LockGuard() { picture.Unlock(); }
};

bool DecodeInto(Imaging* imaging, const ModuleOptions& options, const char* fileName,
                int32_t* wantW, int32_t* wantH, int32_t* srcW, int32_t* srcH, void** buffer,
                kelv::plugin::DateTakenText* dateTaken) {
  KelvRowSinkProc sink = options.rowSinkVariable ? *options.rowSinkVariable : nullptr;
  if (!imaging || !fileName || !wantW || !wantH) return false;

  std::unique_ptr<Picture> picture = imaging->Open(fileName);
  if (!picture) return false;
  uint32_t w = 0, h = 0;
  if (!picture->Size(w, h)) return false;
  constexpr uint32_t kMaxSide = std::numeric_limits<int32_t>::max();
  if (w == 0 || h == 0 || w > kMaxSide || h > kMaxSide) return false;

  const int32_t minW = srcW ? *srcW : 0;
  const int32_t minH = srcH ? *srcH : 0;
  *wantW = static_cast<int32_t>(w);
  *wantH = static_cast<int32_t>(h);
  if (srcW) *srcW = static_cast<int32_t>(w);
  if (srcH) *srcH = static_cast<int32_t>(h);
  if (BelowSizeFilter(w, h, minW, minH)) {
    if (srcW) *srcW = -static_cast<int32_t>(w);
    if (srcH) *srcH = -static_cast<int32_t>(h);
    if (buffer) *buffer = nullptr;
    return true;
  }
  if (!buffer) return true;

  const int32_t width = static_cast<int32_t>(w), height = static_cast<int32_t>(h);
  bool rowMode = sink && sink(KELV_ROWSINK_BGR | 1, KELV_ROWSINK_HEADER, width, height) != 0;
  // Rows are w x 4 bytes apart in both modes; the stride must be expressible.
  if (static_cast<uint64_t>(w) * 4 > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()))
    return false;
  const int32_t stride = width * 4;
  const uint32_t bytes = OutputBytes(w, h, rowMode);
  if (bytes == 0 || !options.allocBuffer) return false;
  void* out = options.allocBuffer(bytes);
  if (!out) return false;

  if (!rowMode) {
    if (!picture->LockInto(0, 0, width, height, LockLayout::Rgb32, stride, out)) return false;
    LockGuard lock{*picture};
  } else {
    for (int32_t y = 0; y < height; ++y) {
      if (!picture->LockInto(0, y, width, 1, LockLayout::Rgb24, stride, out)) return false;
      LockGuard lock{*picture};
      sink(reinterpret_cast<intptr_t>(out), y, width, height);
    }
  }
  *buffer = out;
  if (dateTaken) {
    try {
      *dateTaken = DateTakenOf(*picture);
    } catch (const std::bad_alloc&) {
      // The picture is there; only its date is not.
    }
  }
  return true;
}

}  // namespace

void DecodePicture(Imaging* imaging, const ModuleOptions& options, const char* fileName,
                   int32_t* wantW, int32_t* wantH, int32_t* srcW, int32_t* srcH,
                   void** buffer, kelv::plugin::DateTakenText* dateTaken) noexcept {
  bool ok = false;
  if (dateTaken) *dateTaken = {};
  try {
    ok = DecodeInto(imaging, options, fileName, wantW, wantH, srcW, srcH, buffer, dateTaken);
  } catch (...) {
    ok = false;
  }
  if (ok) return;
  if (dateTaken) *dateTaken = {};
  if (wantW) *wantW = 0;
  if (wantH) *wantH = 0;
  if (srcW) *srcW = 0;
  if (srcH) *srcH = 0;
  if (buffer) *buffer = nullptr;
}

}  // namespace sysformats
