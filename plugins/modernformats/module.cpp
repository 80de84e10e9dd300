#include "module.hpp"

#include <stdexcept>

#include "decode.hpp"
#include "file_bytes.hpp"
#include "module_heap.hpp"
#include "plugincommon/in_module_descriptor.hpp"

namespace modernformats {

namespace {

constexpr int kFormatCount = 4;
const char* const kExtensions[kFormatCount] = {".webp", ".heic", ".heif", ".avif"};
const char* const kFormatNames[kFormatCount] = {"WebP", "HEIC", "HEIF", "AVIF"};
constexpr const char* kName = "Modern image formats";
constexpr const char* kDescription =
    "Modern image formats plugin ver 1.0.0.0\r\n"
    "Made by the Kelvora developers\r\n"
    "for the Kelvora slide-show screen saver";
constexpr const char* kAbout =
    "This is modern image formats plugin\r\n"
    "Now support formats:\r\n"
    "      WebP, first frame of animations (.webp)\r\n"
    "      HEIC and HEIF photos (.heic,.heif)\r\n"
    "      AVIF (.avif)\r\n"
    "\r\n"
    "Made by the Kelvora developers";

// Module state; the host calls one entry at a time.
TInModule g_module;
KelvDecodeProc g_decoders[kFormatCount];
void* g_buffer = nullptr;
KelvAllocBufferProc g_allocBuffer = nullptr;
KelvRowSinkProc* g_rowSinkVariable = nullptr;
bool g_fill = false;
// What the last decode read about its picture, for GetPictureInfo.
kelv::plugin::DateTakenText g_dateTaken{};

// Every extension shares one decoder: the file's leading bytes tell the formats apart,
// so a ".heic" that holds AVIF data (or the reverse) still decodes.
void CommonDecode(void* file, int32_t* wantW, int32_t* wantH, int32_t* srcW, int32_t* srcH,
                  void** buffer) noexcept {
  const DecodeArgs args{wantW, wantH, srcW, srcH, buffer};
  g_buffer = nullptr;
  g_dateTaken = {};
  try {
    if (!file) throw std::invalid_argument("No file");
    // The host file record's first field is the handle the module reads through.
    const FileBytes bytes(static_cast<const TInHostFile*>(file)->handle);
    DecodeContext context;
    context.allocBuffer = g_allocBuffer;
    context.rowSink = g_rowSinkVariable ? *g_rowSinkVariable : nullptr;
    context.fill = g_fill;
    context.dateTaken = &g_dateTaken;
    if (!DecodePicture(bytes.bytes(), context, args)) g_dateTaken = {};
  } catch (...) {
    g_dateTaken = {};
    ReportFailure(args);
  }
  g_buffer = buffer ? *buffer : nullptr;
}

void KELV_CDECL Decode6(void* file, int32_t* wantW, int32_t* wantH, int32_t* srcW, int32_t* srcH,
                        void** buffer) {
  CommonDecode(file, wantW, wantH, srcW, srcH, buffer);
}

void KELV_CDECL Decode4(void* file, int32_t* wantW, int32_t* wantH, void** buffer) {
  CommonDecode(file, wantW, wantH, nullptr, nullptr, buffer);
}

void UseDecoders(bool sixArguments) {
  const KelvDecodeProc decode = sixArguments ? reinterpret_cast<KelvDecodeProc>(&Decode6)
                                             : reinterpret_cast<KelvDecodeProc>(&Decode4);
  for (KelvDecodeProc& d : g_decoders) d = decode;
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
  // The pictures carry no EXIF orientation the module applies (the HEIF container's
  // rotation is part of the picture), so only the fill flag matters here.
  if (KELV_OPTIONS_COVER(options, flags)) g_fill = (flags & KELV_OPT_FILL) != 0;
  if (KELV_OPTIONS_COVER(options, reallocMem)) {
    // All three routines or none: half a heap cannot serve the module.
    if (options->getMem && options->freeMem && options->reallocMem)
      UseHostHeap(options->getMem, options->freeMem);
  }
  return 1;
}

const char* AboutText() { return kAbout; }

void* LastBuffer() { return g_buffer; }

int32_t KELV_CDECL GetPictureInfo(TInPictureInfo* info) {
  return kelv::plugin::FillPictureInfo(info, g_dateTaken);
}

}  // namespace modernformats
