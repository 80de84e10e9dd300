#include "exif_orientation.hpp"

#include <cstdint>

namespace stdformats {

namespace {

constexpr int kEntrySize = 12;
constexpr int kMaxEntries = 12;

int BigEndian16(const uint8_t* p) { return (p[0] << 8) | p[1]; }

int FindOrientation(ByteSource& src) {
  uint8_t buf[10];
  if (!src.readExact(buf, 2) || buf[0] != 0xFF || buf[1] != 0xD8) return 0;
  if (!src.readExact(buf, 10)) return 0;
  if (buf[0] == 0xFF && buf[1] == 0xE0) {
    // Skip the APP0 segment: its length counts the two length bytes; 8 of the 10 bytes
    // just read belong to it.
    const int length = BigEndian16(buf + 2);
    if (length < 8) return 0;
    src.seek(src.position() + static_cast<uint64_t>(length - 8));
    if (!src.readExact(buf, 10)) return 0;
  }
  if (buf[0] != 0xFF || buf[1] != 0xE1) return 0;
  // APP1: length, then "Exif\0\0" (not checked), the 8-byte TIFF header and the first
  // directory, taken to start right after that header.
  const int segmentLength = BigEndian16(buf + 2);
  if (!src.readExact(buf, 10)) return 0;
  const bool littleEndian = buf[0] == 'I' && buf[1] == 'I';
  // Stay inside the segment: 2 length bytes, 6 identifier bytes, 8 header bytes and the
  // 2-byte entry count come before the entries.
  const int room = (segmentLength - 18) / kEntrySize;
  const int entries = room < kMaxEntries ? room : kMaxEntries;
  for (int i = 0; i < entries; ++i) {
    uint8_t e[kEntrySize];
    if (!src.readExact(e, kEntrySize)) return 0;
    const int tag = littleEndian ? (e[1] << 8) | e[0] : BigEndian16(e);
    if (tag == 0x0112) return littleEndian ? (e[9] << 8) | e[8] : BigEndian16(e + 8);
  }
  return 0;
}

}  // namespace

int ReadExifOrientation(ByteSource& src) {
  const uint64_t start = src.position();
  const int orientation = FindOrientation(src);
  src.seek(start);
  return orientation;
}

}  // namespace stdformats
