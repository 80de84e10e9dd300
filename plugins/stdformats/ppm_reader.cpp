#include "ppm_reader.hpp"

#include "decode_error.hpp"

namespace stdformats {

namespace {
constexpr const char* kNotPpm = "Not a PPM file";
constexpr const char* kNonNumeric = "Nonnumeric data in PPM file";
constexpr uint32_t kLargestValue = 0x7FFFFFFF;
constexpr uint32_t kLargestMaxValue = 65535;
}  // namespace

int PpmReader::readChar() {
  int ch = src_.readByte();
  if (ch == '#') {
    do {
      ch = src_.readByte();
    } while (ch != '\n' && ch != '\r' && ch != -1);
  }
  return ch;
}

uint32_t PpmReader::readInteger() {
  int ch;
  do {
    ch = readChar();
    if (ch == -1) throw DecodeError(kPrematureEnd);
  } while (ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r');
  if (ch < '0' || ch > '9') throw DecodeError(kNonNumeric);
  uint64_t value = static_cast<uint64_t>(ch - '0');
  while ((ch = readChar()) >= '0' && ch <= '9') {
    value = value * 10 + static_cast<uint64_t>(ch - '0');
    if (value > kLargestValue) throw DecodeError("Numeric value too large in PPM file");
  }
  return static_cast<uint32_t>(value);
}

void PpmReader::start() {
  if (src_.readByte() != 'P') throw DecodeError(kNotPpm);
  switch (src_.readByte()) {
    case '2': text_ = true; components_ = 1; break;
    case '3': text_ = true; components_ = 3; break;
    case '5': text_ = false; components_ = 1; break;
    case '6': text_ = false; components_ = 3; break;
    default: throw DecodeError(kNotPpm);
  }
  const uint32_t width = readInteger();
  const uint32_t height = readInteger();
  maxValue_ = readInteger();
  if (width == 0 || height == 0 || maxValue_ == 0) throw DecodeError(kNotPpm);
  if (maxValue_ > kLargestMaxValue) throw DecodeError("Unsupported PPM maximum value");
  width_ = static_cast<int32_t>(width);
  height_ = static_cast<int32_t>(height);
}

void PpmReader::prepare() {
  const uint64_t samplesPerRow = static_cast<uint64_t>(width_) * components_;
  const uint64_t bytesPerSample = (!text_ && maxValue_ > 255) ? 2 : 1;
  // Every sample takes at least one byte of the file (a digit in the text forms), so a
  // header promising more samples than the file holds is refused before allocating.
  const uint64_t needed = samplesPerRow * static_cast<uint64_t>(height_) * bytesPerSample;
  if (needed > src_.remaining()) throw DecodeError(kPrematureEnd);
  if (maxValue_ != 255) {
    rescale_ = NewHeapBlock(maxValue_ + 1);
    const uint32_t half = maxValue_ / 2;
    for (uint32_t v = 0; v <= maxValue_; ++v)
      rescale_.As<uint8_t>()[v] = static_cast<uint8_t>((v * 255u + half) / maxValue_);
  }
  if (!text_) raw_ = NewHeapBlock(static_cast<size_t>(samplesPerRow * bytesPerSample));
  row_ = NewHeapBlock(static_cast<size_t>(samplesPerRow));
}

// Samples above the maximum value (a lying header) count as the maximum.
uint8_t PpmReader::scale(uint32_t sample) const {
  if (sample > maxValue_) sample = maxValue_;
  return maxValue_ == 255 ? static_cast<uint8_t>(sample) : rescale_.As<uint8_t>()[sample];
}

const uint8_t* PpmReader::nextRow() {
  uint8_t* out = row_.As<uint8_t>();
  const size_t samples = row_.Size();
  if (text_) {
    for (size_t i = 0; i < samples; ++i) out[i] = scale(readInteger());
    return out;
  }
  if (!src_.readExact(raw_.As<uint8_t>(), raw_.Size())) throw DecodeError(kPrematureEnd);
  const uint8_t* in = raw_.As<uint8_t>();
  if (maxValue_ > 255) {
    for (size_t i = 0; i < samples; ++i) out[i] = scale((in[2 * i] << 8) | in[2 * i + 1]);
  } else {
    for (size_t i = 0; i < samples; ++i) out[i] = scale(in[i]);
  }
  return out;
}

}  // namespace stdformats
