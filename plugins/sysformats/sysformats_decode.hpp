// The platform-formats module's decode routine and options handling, written against a
// small view of the imaging library so that the same code runs over GDI+ in the plug-in and
// over a stand-in in the native tests.
#pragma once

#include <cstdint>
#include <memory>

#include <string>

#include "kelv_inmodule.h"
#include "plugincommon/exif_reader.hpp"

namespace sysformats {

// A picture is below the filter when it fits inside the minimum box in either orientation.
// A filter side of 0 or less switches the filter off.
bool BelowSizeFilter(int64_t width, int64_t height, int32_t minWidth, int32_t minHeight);

// Bytes of the buffer for a w x h picture at four bytes a pixel (one row in row mode);
// 0 when the size cannot be expressed as an allocation request.
uint32_t OutputBytes(uint32_t width, uint32_t height, bool rowMode);

enum class LockLayout { Rgb32, Rgb24 };  // B,G,R,unused / B,G,R triplets

// One opened picture; closing it disposes of it.
class Picture {
public:
  virtual ~Picture() = default;
  virtual bool Size(uint32_t& width, uint32_t& height) = 0;
  // Copies the rectangle into `target` (rows `stride` bytes apart), top row first, and keeps
  // the rectangle locked until Unlock.
  virtual bool LockInto(int32_t x, int32_t y, int32_t width, int32_t height, LockLayout layout,
                        int32_t stride, void* target) = 0;
  virtual void Unlock() = 0;
  // The text of the picture's ASCII property `tag` (EXIF tags: 0x9003 DateTimeOriginal,
  // ...) as the imaging library read it with the picture; false when it has none.
  virtual bool PropertyText(uint32_t tag, std::string& text) {
    (void)tag;
    (void)text;
    return false;
  }
  // The file's bytes as the library was given them, when it read them from memory;
  // false when it read the file itself.
  virtual bool FileBytes(const uint8_t*& data, size_t& size) {
    (void)data;
    (void)size;
    return false;
  }
};

class Imaging {
public:
  virtual ~Imaging() = default;
  // The picture in the named file, or null when it cannot be read.
  virtual std::unique_ptr<Picture> Open(const char* fileName) = 0;
};

// What SetOptions left for the decoder.
struct ModuleOptions {
  KelvAllocBufferProc allocBuffer = nullptr;
  KelvRowSinkProc* rowSinkVariable = nullptr;
};

// SetOptions without the release: 0 for a record below 8 bytes, else 1 after acknowledging
// the six-argument decode (clearing flags bit 0) and taking AllocBuffer and the row sink
// variable as far as the record's size covers them. `release` tells the caller that the
// record was the release notification, which it must act on.
int32_t ApplyOptions(ModuleOptions& state, TInModuleOptions* options, bool& release);

// The EXIF date taken held in a file's bytes where the imaging library may not say it: a
// PNG's eXIf chunk, or a TIFF file's own directories. Empty for other formats.
kelv::plugin::DateTakenText DateTakenInFile(const uint8_t* data, size_t size);

// When the picture was taken: the first valid date of DateTimeOriginal, DateTimeDigitized
// and DateTime among its properties, else what the file's bytes hold (DateTakenInFile);
// empty when neither gives one.
kelv::plugin::DateTakenText DateTakenOf(Picture& picture);

// The decode entry's work (six-argument form). Every failure leaves all four sizes 0 and
// the buffer nil; nothing is thrown. After pixels were delivered, `dateTaken` (when
// given) holds the picture's date taken; otherwise it is emptied.
void DecodePicture(Imaging* imaging, const ModuleOptions& options, const char* fileName,
                   int32_t* wantW, int32_t* wantH, int32_t* srcW, int32_t* srcH,
                   void** buffer, kelv::plugin::DateTakenText* dateTaken = nullptr) noexcept;

}  // namespace sysformats
