// The EXIF reader the input modules share: the date a picture was taken, from an EXIF
// block in memory (the TIFF structure a JPEG's APP1 segment, a PNG's eXIf chunk, a WebP's
// EXIF chunk or a HEIF's Exif item holds). Bounded by the block: damaged offsets, counts
// and loops of directories give no date, never a read outside it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "kelv_inmodule.h"

namespace kelv::plugin {

// EXIF date text "YYYY:MM:DD HH:MM:SS" and its NUL; empty (first byte NUL) when unknown.
using DateTakenText = std::array<char, KELV_DATE_TAKEN_LENGTH + 1>;

// True when the first `length` bytes (a NUL ends them early) are a real date and time in
// the EXIF form: year 1601 to 9999, month 1 to 12, a day the month has, hour 0 to 23,
// minutes and seconds 0 to 59. "0000:00:00 00:00:00" and blanks are no date.
bool ValidExifDate(const char* text, size_t length);

// DateTimeOriginal (0x9003) of the EXIF directory, else DateTimeDigitized (0x9004), else
// DateTime (0x0132) of the first directory, the first of them that is a valid date.
// `block` starts with the TIFF header ("II*\0" or "MM\0*"), or with "Exif\0\0" before it.
DateTakenText ReadDateTaken(const uint8_t* block, size_t size);

// Fills the host's record from `date` (GetPictureInfo): 1 when there is a date, else 0
// with the record unchanged. Writes only what the record's size covers.
int32_t FillPictureInfo(TInPictureInfo* info, const DateTakenText& date) noexcept;

}  // namespace kelv::plugin
