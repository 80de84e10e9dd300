#include "module.hpp"

#include "byte_source.hpp"
#include "decode.hpp"
#include "decode_error.hpp"
#include "module_heap.hpp"
#include "plugincommon/in_module_descriptor.hpp"

namespace stdformats {

namespace {

constexpr int kFormatCount = 4;
const char* const kExtensions[kFormatCount] = {".jpg", ".jpeg", ".bmp", ".ppm"};
const char* const kFormatNames[kFormatCount] = {"JPEG", "JPEG", "Bitmap", "Portable pixel map"};
constexpr const char* kName = "Standard image formats";
constexpr const char* kDescription =
    "Standard image formats plugin ver 1.0.7.8\r\n"
    "Made by the Kelvora developers\r\n"
    "for the Kelvora slide-show screen saver";
constexpr const char* kAbout =
    "This is standard image formats plugin\r\n"
    "Now support formats:\r\n"
    "      JPEG (.jpg,.jpeg)\r\n"
    "      Bitmap (without RLE compression) (.bmp)\r\n"
    "      Portable pixel map (.ppm)\r\n"
    "\r\n"
    "Made by the Kelvora developers";

// Module state; the host calls one entry at a time.
TInModule g_module;
KelvDecodeProc g_decoders[kFormatCount];
void* g_buffer = nullptr;
KelvAllocBufferProc g_allocBuffer = nullptr;
KelvRowSinkProc* g_rowSinkVariable = nullptr;
bool g_rowSinkActive = false;
KelvRowSinkProc g_rowSink = nullptr;
bool g_ignoreOrientation = false;
bool g_fill = false;
DecodeKind g_kind = DecodeKind::Jpeg;
// What the last decode read about its picture, for GetPictureInfo.
kelv::plugin::DateTakenText g_dateTaken{};

void CommonDecode(void* file, int32_t* wantW, int32_t* wantH, int32_t* srcW, int32_t* srcH,
                  void** buffer) noexcept {
  g_rowSinkActive = g_rowSinkVariable && *g_rowSinkVariable;
  g_rowSink = g_rowSinkActive ? *g_rowSinkVariable : nullptr;
  const DecodeArgs args{wantW, wantH, srcW, srcH, buffer};
  g_buffer = nullptr;
  g_dateTaken = {};
  try {
    if (!file) throw DecodeError("No file");
    // The host file record's first field is the handle the module reads through.
    HostFileSource source(static_cast<const TInHostFile*>(file)->handle);
    DecodeContext context;
    context.allocBuffer = g_allocBuffer;
    context.rowSink = g_rowSink;
    context.ignoreOrientation = g_ignoreOrientation;
    context.fill = g_fill;
    context.dateTaken = &g_dateTaken;
    if (!DecodePicture(g_kind, source, context, args)) g_dateTaken = {};
  } catch (...) {
    g_dateTaken = {};
    ReportFailure(args);
  }
  g_buffer = buffer ? *buffer : nullptr;
}

void KELV_CDECL DecodeJpeg6(void* file, int32_t* wantW, int32_t* wantH, int32_t* srcW,
                            int32_t* srcH, void** buffer) {
  g_kind = DecodeKind::Jpeg;
  CommonDecode(file, wantW, wantH, srcW, srcH, buffer);
}

void KELV_CDECL DecodeRaster6(void* file, int32_t* wantW, int32_t* wantH, int32_t* srcW,
                              int32_t* srcH, void** buffer) {
  g_kind = DecodeKind::Raster;
  CommonDecode(file, wantW, wantH, srcW, srcH, buffer);
}

void KELV_CDECL DecodeJpeg4(void* file, int32_t* wantW, int32_t* wantH, void** buffer) {
  g_kind = DecodeKind::Jpeg;
  CommonDecode(file, wantW, wantH, nullptr, nullptr, buffer);
}

void KELV_CDECL DecodeRaster4(void* file, int32_t* wantW, int32_t* wantH, void** buffer) {
  g_kind = DecodeKind::Raster;
  CommonDecode(file, wantW, wantH, nullptr, nullptr, buffer);
}

void UseDecoders(bool sixArguments) {
  const KelvDecodeProc jpeg = sixArguments ? reinterpret_cast<KelvDecodeProc>(&DecodeJpeg6)
                                           : reinterpret_cast<KelvDecodeProc>(&DecodeJpeg4);
  const KelvDecodeProc raster = sixArguments ? reinterpret_cast<KelvDecodeProc>(&DecodeRaster6)
                                             : reinterpret_cast<KelvDecodeProc>(&DecodeRaster4);
  g_decoders[0] = g_decoders[1] = jpeg;
  g_decoders[2] = g_decoders[3] = raster;
}

}  // namespace

TInModule* DescribeModule() {
  g_buffer = nullptr;
  g_allocBuffer = nullptr;
  UseOwnHeap();
  UseDecoders(false);
  return kelv::plugin::FillInModule(g_module,
                                    {.moduleVersion = kModuleVersion,
                                     .name = kName,
                                     .flags = kModuleFlags,
                                     .about = &ShowAbout,
                                     .description = kDescription,
                                     .setOptions = &SetOptions},
                                    kExtensions, kFormatNames, g_decoders);
}

int32_t KELV_CDECL SetOptions(TInModuleOptions* options) {
  if (!options || options->size < 8) return 0;
  const uint32_t flags = KELV_OPTIONS_COVER(options, flags) ? options->flags : 0;
  // Nothing here outlives a decode, so the release notification has nothing to free.
  if (flags & KELV_OPT_RELEASE) return 1;
  if (flags & KELV_OPT_SIX_ARG) {
    UseDecoders(true);
    options->flags &= ~KELV_OPT_SIX_ARG;
  }
  if (KELV_OPTIONS_COVER(options, allocBuffer)) g_allocBuffer = options->allocBuffer;
  if (KELV_OPTIONS_COVER(options, rowSinkVariable)) g_rowSinkVariable = options->rowSinkVariable;
  if (KELV_OPTIONS_COVER(options, flags)) {
    g_ignoreOrientation = (flags & KELV_OPT_IGNORE_EXIF) != 0;
    g_fill = (flags & KELV_OPT_FILL) != 0;
  }
  if (KELV_OPTIONS_COVER(options, reallocMem)) {
    // All three routines or none: half a heap cannot serve the module.
    if (options->getMem && options->freeMem && options->reallocMem)
      UseHostHeap(options->getMem, options->freeMem, options->reallocMem);
  }
  return 1;
}

const char* AboutText() { return kAbout; }

void* LastBuffer() { return g_buffer; }

int32_t KELV_CDECL GetPictureInfo(TInPictureInfo* info) {
  return kelv::plugin::FillPictureInfo(info, g_dateTaken);
}

}  // namespace stdformats
