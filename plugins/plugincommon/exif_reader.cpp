#include "plugincommon/exif_reader.hpp"

#include <cstring>

namespace kelv::plugin {

namespace {

constexpr uint16_t kTagDateTime = 0x0132;
constexpr uint16_t kTagExifDirectory = 0x8769;
constexpr uint16_t kTagDateTimeOriginal = 0x9003;
constexpr uint16_t kTagDateTimeDigitized = 0x9004;
constexpr uint16_t kTypeAscii = 2;
constexpr uint16_t kTypeLong = 4;
constexpr size_t kEntrySize = 12;

// The TIFF structure: every read is checked against the block's end.
class TiffView {
public:
  TiffView(const uint8_t* data, size_t size, bool littleEndian)
      : data_(data), size_(size), little_(littleEndian) {}

  bool U16(size_t at, uint16_t& v) const {
    if (at > size_ || size_ - at < 2) return false;
    const uint8_t* p = data_ + at;
    v = little_ ? static_cast<uint16_t>(p[0] | (p[1] << 8)) : static_cast<uint16_t>((p[0] << 8) | p[1]);
    return true;
  }
  bool U32(size_t at, uint32_t& v) const {
    if (at > size_ || size_ - at < 4) return false;
    const uint8_t* p = data_ + at;
    v = little_ ? (uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24)
                : (uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]});
    return true;
  }
  // The entry of `tag` in the directory at `dir`, or 0.
  size_t FindEntry(size_t dir, uint16_t tag) const {
    uint16_t count = 0;
    if (!U16(dir, count)) return 0;
    for (size_t i = 0; i < count; ++i) {
      const size_t entry = dir + 2 + i * kEntrySize;
      uint16_t t = 0;
      if (!U16(entry, t) || entry + kEntrySize > size_) return 0;
      if (t == tag) return entry;
    }
    return 0;
  }
  // The ASCII value of `tag` in the directory when it is a valid date.
  bool DateOf(size_t dir, uint16_t tag, DateTakenText& out) const {
    const size_t entry = FindEntry(dir, tag);
    uint16_t type = 0;
    uint32_t count = 0, offset = 0;
    if (!entry || !U16(entry + 2, type) || type != kTypeAscii || !U32(entry + 4, count)) return false;
    if (count < KELV_DATE_TAKEN_LENGTH) return false;
    // Values of more than four bytes lie at their offset (a date always does).
    if (!U32(entry + 8, offset) || offset > size_ || size_ - offset < KELV_DATE_TAKEN_LENGTH) return false;
    const char* text = reinterpret_cast<const char*>(data_ + offset);
    if (!ValidExifDate(text, KELV_DATE_TAKEN_LENGTH)) return false;
    std::memcpy(out.data(), text, KELV_DATE_TAKEN_LENGTH);
    out[KELV_DATE_TAKEN_LENGTH] = '\0';
    return true;
  }
  size_t size() const { return size_; }

private:
  const uint8_t* data_;
  size_t size_;
  bool little_;
};

bool Digits(const char* p, int n, int& value) {
  value = 0;
  for (int i = 0; i < n; ++i) {
    if (p[i] < '0' || p[i] > '9') return false;
    value = value * 10 + (p[i] - '0');
  }
  return true;
}

int DaysInMonth(int year, int month) {
  static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : days[month - 1];
}

}  // namespace

bool ValidExifDate(const char* text, size_t length) {
  if (!text || length < KELV_DATE_TAKEN_LENGTH) return false;
  if (std::memchr(text, '\0', KELV_DATE_TAKEN_LENGTH)) return false;
  const char* t = text;
  if (t[4] != ':' || t[7] != ':' || t[10] != ' ' || t[13] != ':' || t[16] != ':') return false;
  int year, month, day, hour, minute, second;
  if (!Digits(t, 4, year) || !Digits(t + 5, 2, month) || !Digits(t + 8, 2, day) ||
      !Digits(t + 11, 2, hour) || !Digits(t + 14, 2, minute) || !Digits(t + 17, 2, second))
    return false;
  if (year < 1601 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
  return hour <= 23 && minute <= 59 && second <= 59;
}

DateTakenText ReadDateTaken(const uint8_t* block, size_t size) {
  DateTakenText date{};
  if (!block) return date;
  if (size >= 6 && std::memcmp(block, "Exif\0\0", 6) == 0) {
    block += 6;
    size -= 6;
  }
  if (size < 8) return date;
  bool little;
  if (std::memcmp(block, "II*\0", 4) == 0) {
    little = true;
  } else if (std::memcmp(block, "MM\0*", 4) == 0) {
    little = false;
  } else {
    return date;
  }
  const TiffView tiff(block, size, little);
  uint32_t first = 0;
  if (!tiff.U32(4, first) || first < 8 || first >= size) return date;

  // The EXIF directory's pointer; one that points back into the first directory is taken
  // as it is (the lookups are bounded, there is no walk to loop).
  const size_t exifEntry = tiff.FindEntry(first, kTagExifDirectory);
  uint16_t type = 0;
  uint32_t exif = 0;
  if (exifEntry && tiff.U16(exifEntry + 2, type) && type == kTypeLong && tiff.U32(exifEntry + 8, exif) &&
      exif >= 8 && exif < size) {
    if (tiff.DateOf(exif, kTagDateTimeOriginal, date)) return date;
    if (tiff.DateOf(exif, kTagDateTimeDigitized, date)) return date;
  }
  if (tiff.DateOf(first, kTagDateTime, date)) return date;
  return DateTakenText{};
}

int32_t FillPictureInfo(TInPictureInfo* info, const DateTakenText& date) noexcept {
  if (!info || date[0] == '\0' || !KELV_INFO_COVER(info, dateTaken)) return 0;
  std::memcpy(info->dateTaken, date.data(), date.size());
  return 1;
}

}  // namespace kelv::plugin
