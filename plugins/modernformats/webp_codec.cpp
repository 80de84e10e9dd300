// WebP through libwebp: still pictures decoded straight to RGB, with the library's
// scaler doing the pre-scaling; animations show their first frame, composed on the
// canvas by the animation decoder (no scaling there).
#include <webp/decode.h>
#include <webp/demux.h>

#include <cstring>

#include "decode_error.hpp"
#include "module_heap.hpp"
#include "picture_codec.hpp"

namespace modernformats {

namespace {

// Rows in a block of the module heap.
class HeapRows final : public RgbRows {
public:
  HeapRows(uint32_t w, uint32_t h)
      : w_(w), h_(h), block_(NewHeapBlock(static_cast<size_t>(w) * h * 3)) {}
  uint32_t width() const override { return w_; }
  uint32_t height() const override { return h_; }
  const uint8_t* row(uint32_t r) const override { return data() + static_cast<size_t>(r) * w_ * 3; }
  uint8_t* data() const { return block_.As<uint8_t>(); }
  size_t bytes() const { return static_cast<size_t>(w_) * h_ * 3; }

private:
  uint32_t w_, h_;
  HeapBlock block_;
};

struct AnimDecoderDeleter {
  void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};

class WebpCodec final : public PictureCodec {
public:
  explicit WebpCodec(std::span<const uint8_t> bytes) : bytes_(bytes) {
    if (!WebPInitDecoderConfig(&config_)) throw DecodeError("libwebp version mismatch");
    if (WebPGetFeatures(bytes_.data(), bytes_.size(), &config_.input) != VP8_STATUS_OK)
      throw DecodeError("Not a WebP file");
    if (config_.input.width <= 0 || config_.input.height <= 0)
      throw DecodeError("Bad WebP size");
  }
  uint32_t width() const override { return static_cast<uint32_t>(config_.input.width); }
  uint32_t height() const override { return static_cast<uint32_t>(config_.input.height); }
  bool scales() const override { return !config_.input.has_animation; }

  kelv::plugin::DateTakenText dateTaken() const override {
    kelv::plugin::DateTakenText date{};
    const WebPData data{bytes_.data(), bytes_.size()};
    WebPDemuxer* demux = WebPDemux(&data);
    if (!demux) return date;
    // The EXIF chunk of the extended format: the TIFF structure, sometimes after "Exif\0\0".
    if (WebPDemuxGetI(demux, WEBP_FF_FORMAT_FLAGS) & EXIF_FLAG) {
      WebPChunkIterator chunk;
      if (WebPDemuxGetChunk(demux, "EXIF", 1, &chunk)) {
        date = kelv::plugin::ReadDateTaken(chunk.chunk.bytes, chunk.chunk.size);
        WebPDemuxReleaseChunkIterator(&chunk);
      }
    }
    WebPDemuxDelete(demux);
    return date;
  }

  std::unique_ptr<RgbRows> decode(uint32_t outW, uint32_t outH) override {
    if (config_.input.has_animation) return firstFrame();
    auto rows = std::make_unique<HeapRows>(outW, outH);
    WebPDecoderConfig config = config_;
    if (outW != width() || outH != height()) {
      config.options.use_scaling = 1;
      config.options.scaled_width = static_cast<int>(outW);
      config.options.scaled_height = static_cast<int>(outH);
    }
    config.output.colorspace = MODE_RGB;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = rows->data();
    config.output.u.RGBA.stride = static_cast<int>(outW * 3);
    config.output.u.RGBA.size = rows->bytes();
    const VP8StatusCode status = WebPDecode(bytes_.data(), bytes_.size(), &config);
    WebPFreeDecBuffer(&config.output);
    if (status != VP8_STATUS_OK) throw DecodeError("WebP decoding failed");
    return rows;
  }

private:
  std::unique_ptr<RgbRows> firstFrame() {
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) throw DecodeError("libwebp version mismatch");
    options.color_mode = MODE_RGBA;
    options.use_threads = 0;
    const WebPData data{bytes_.data(), bytes_.size()};
    const std::unique_ptr<WebPAnimDecoder, AnimDecoderDeleter> decoder(
        WebPAnimDecoderNew(&data, &options));
    WebPAnimInfo info;
    if (!decoder || !WebPAnimDecoderGetInfo(decoder.get(), &info))
      throw DecodeError("Bad WebP animation");
    uint8_t* canvas = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp) || !canvas)
      throw DecodeError("WebP animation without a frame");
    // The canvas is the size announced in the header, which WebPGetFeatures reported.
    if (info.canvas_width != width() || info.canvas_height != height())
      throw DecodeError("WebP canvas size disagrees");
    auto rows = std::make_unique<HeapRows>(info.canvas_width, info.canvas_height);
    const size_t pixels = static_cast<size_t>(info.canvas_width) * info.canvas_height;
    uint8_t* out = rows->data();
    // Alpha is dropped, as for still pictures: transparent canvas shows as black.
    for (size_t i = 0; i < pixels; ++i, canvas += 4, out += 3) std::memcpy(out, canvas, 3);
    return rows;
  }

  std::span<const uint8_t> bytes_;
  WebPDecoderConfig config_;
};

}  // namespace

std::unique_ptr<PictureCodec> OpenWebp(std::span<const uint8_t> bytes) {
  return std::make_unique<WebpCodec>(bytes);
}

}  // namespace modernformats
