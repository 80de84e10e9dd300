#include "exif_orientation.hpp"

#include <cstdint>

namespace stdformats {

namespace {

constexpr size_t kEntrySize = 12;
constexpr size_t kMaxEntries = 12;

int BigEndian16(const uint8_t* p) { return (p[0] << 8) | p[1]; }

// The orientation by the first directory's first entries, the directory taken to start
// right after the 8-byte TIFF header; `tiff` holds `size` bytes of the block, `room` the
// entries the segment's length leaves space for.
int OrientationOf(const uint8_t* tiff, size_t size, size_t room) {
  if (size < 10) return 0;
  const bool littleEndian = tiff[0] == 'I' && tiff[1] == 'I';
  const size_t entries = room < kMaxEntries ? room : kMaxEntries;
  for (size_t i = 0; i < entries; ++i) {
    const size_t at = 10 + i * kEntrySize;
    if (at + kEntrySize > size) return 0;
    const uint8_t* e = tiff + at;
    const int tag = littleEndian ? (e[1] << 8) | e[0] : BigEndian16(e);
    if (tag == 0x0112) return littleEndian ? (e[9] << 8) | e[8] : BigEndian16(e + 8);
  }
  return 0;
}

ExifFacts FindExif(ByteSource& src) {
  uint8_t buf[10];
  if (!src.readExact(buf, 2) || buf[0] != 0xFF || buf[1] != 0xD8) return {};
  if (!src.readExact(buf, 10)) return {};
  if (buf[0] == 0xFF && buf[1] == 0xE0) {
    // Skip the APP0 segment: its length counts the two length bytes; 8 of the 10 bytes
    // just read belong to it.
    const int length = BigEndian16(buf + 2);
    if (length < 8) return {};
    src.seek(src.position() + static_cast<uint64_t>(length - 8));
    if (!src.readExact(buf, 10)) return {};
  }
  if (buf[0] != 0xFF || buf[1] != 0xE1) return {};
  // APP1: length, then "Exif\0\0" (not checked) and the TIFF block, which fills the rest
  // of the segment (2 length bytes and 6 identifier bytes come before it).
  const int segmentLength = BigEndian16(buf + 2);
  if (segmentLength < 18) return {};
  const size_t wanted = static_cast<size_t>(segmentLength - 8);
  HeapBlock block = NewHeapBlock(wanted);
  const size_t got = src.read(block.Get(), wanted);
  const auto* tiff = block.As<const uint8_t>();
  ExifFacts facts;
  facts.orientation = OrientationOf(tiff, got, static_cast<size_t>(segmentLength - 18) / kEntrySize);
  facts.date = kelv::plugin::ReadDateTaken(tiff, got);
  return facts;
}

}  // namespace

ExifFacts ReadExif(ByteSource& src) {
  const uint64_t start = src.position();
  ExifFacts facts;
  try {
    facts = FindExif(src);
  } catch (...) {
    // No memory for the block: the picture still decodes, without what EXIF says.
    facts = {};
  }
  src.seek(start);
  return facts;
}

int ReadExifOrientation(ByteSource& src) { return ReadExif(src).orientation; }

}  // namespace stdformats
