// Finds the EXIF block of a JPEG file: only an APP1 segment right after the start marker,
// or right after a leading APP0 segment, is looked at. The segment is read once; the
// orientation and the date the picture was taken both come from that one read.
#pragma once

#include "byte_source.hpp"
#include "plugincommon/exif_reader.hpp"

namespace stdformats {

struct ExifFacts {
  int orientation = 0;                 // the orientation tag's value, 0 when there is none
  kelv::plugin::DateTakenText date{};  // empty when there is none
};

// What the EXIF block says. The read position is restored.
ExifFacts ReadExif(ByteSource& src);

// The orientation tag's value, or 0 when there is none. The read position is restored.
int ReadExifOrientation(ByteSource& src);

}  // namespace stdformats
