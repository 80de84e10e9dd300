// TBitmap: the host's one in-memory picture type. 32 bits per pixel (bytes blue, green,
// red, 0), rows top-down, stride width * 4. It either owns a DIB section with a memory
// DC (Create) or wraps a pixel buffer someone else owns (CreateFromBits). The same
// layout crosses the plug-in boundary in both directions.
#pragma once

#include <cstdint>
#include <memory>

#include "common/native_handles.hpp"

namespace kelv {

class TBitmap {
public:
  // A DIB section of the given size selected into a memory DC compatible with the
  // screen (native build: a plain zeroed heap buffer). Raises EOSError
  // "CreateDIBSection failed, Error = <code>".
  static std::unique_ptr<TBitmap> Create(int32_t width, int32_t height);
  // Wraps `bits`; the bitmap never frees them.
  static std::unique_ptr<TBitmap> CreateFromBits(int32_t width, int32_t height, void* bits);

  // Destroy: deletes the DC, then the DIB section (wrappers own neither).
  ~TBitmap();
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  static int32_t RowStride(int32_t width) { return width * 4; }

  uint32_t* Row(int32_t y) { return reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(Bits) + static_cast<intptr_t>(y) * Width * 4); }
  const uint32_t* Row(int32_t y) const { return reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(Bits) + static_cast<intptr_t>(y) * Width * 4); }
  uint32_t& Pixel(int32_t x, int32_t y) { return Row(y)[x]; }

  // The whole bitmap black: zeroes Width * Height * 4 bytes of the pixels, or, without
  // pixel memory, fills the DC with the stock black brush.
  void Clear();
  // Inclusive rectangle.
  void FillBlack(int32_t left, int32_t top, int32_t right, int32_t bottom);

  // The DIB section and its memory DC; null for a wrapping bitmap and in the native build.
  NativeBitmap Handle = nullptr;
  NativeDC DC = nullptr;
  void* Bits = nullptr;
  int32_t Width = 0;
  int32_t Height = 0;
  // Placement options read by the composition.
  bool Shrink = true;
  bool Enlarge = false;
  bool RandomPos = false;
  bool Crop = false;

private:
  TBitmap() = default;
  friend struct TBitmapAccess;
  void* ownedBuffer_ = nullptr;  // native build only: the buffer Create allocated
};

// Destroys a wrapping bitmap and leaves its pixel memory alone (the owner frees it).
void ReleaseWrapper(std::unique_ptr<TBitmap>& wrapper);

// Copies 32-bit words row by row: destination rows top..bottom, columns left..right
// (inclusive) from source row (srcTop + r - top), starting at column srcLeft. No clipping.
void CopyRect(TBitmap& dst, const TBitmap& src, int32_t top, int32_t bottom, int32_t left,
              int32_t right, int32_t srcLeft, int32_t srcTop);

// Plain source-copy blit between the DCs of two GDI bitmaps (inclusive source rectangle).
void Blit(TBitmap& dst, TBitmap& src, int32_t dstLeft, int32_t dstTop, int32_t srcLeft,
          int32_t srcTop, int32_t srcRight, int32_t srcBottom);

// Clears the target and puts the whole source into it (quick path outside the show).
void FitInto(TBitmap& target, TBitmap& source);

// Where FitInto puts the source: copied 1:1 at (left, top) (which may be negative: the
// source's centre part shows), or stretched to width x height at (left, top).
struct FitPlacement {
  enum Kind { Copy, Unscaled, Stretch } kind = Copy;
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
};
// The placement geometry of FitInto for a target of tw x th with the given options and a
// source of sw x sh (all sizes positive). Draws two random reals for a random position.
FitPlacement PlanFitInto(int32_t tw, int32_t th, bool shrink, bool enlarge, bool randomPos,
                         int32_t sw, int32_t sh);

}  // namespace kelv
