// Finds the EXIF orientation of a JPEG file: only an APP1 segment right after the start
// marker, or right after a leading APP0 segment, is looked at.
#pragma once

#include "byte_source.hpp"

namespace stdformats {

// The orientation tag's value, or 0 when there is none. The read position is restored.
int ReadExifOrientation(ByteSource& src);

}  // namespace stdformats
