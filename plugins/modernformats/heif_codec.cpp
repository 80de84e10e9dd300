// HEIC, HEIF and AVIF through libheif (HEVC by libde265, AV1 by dav1d): the primary
// picture, with the container's rotation, mirroring and cropping applied and grid
// pictures assembled by the library, as 8-bit RGB also from 10- and 12-bit sources.
// libheif cannot decode at a reduced size, so there is no pre-scaling.
#include <libheif/heif.h>

#include <string>

#include "decode_error.hpp"
#include "module_heap.hpp"
#include "picture_codec.hpp"

namespace modernformats {

namespace {

// The longest side of a HEIF picture the module reads (the area limit of every decode
// still applies): the canvas of a damaged grid of 8-bit or deeper samples then stays
// within a few hundred megabytes.
constexpr int kMaxHeifSide = 8192;
// The largest Exif item read for the date taken.
constexpr size_t kMaxExifItem = 1u << 20;

struct ContextDeleter {
  void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleDeleter {
  void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageDeleter {
  void operator()(heif_image* image) const { heif_image_release(image); }
};
struct OptionsDeleter {
  void operator()(heif_decoding_options* options) const { heif_decoding_options_free(options); }
};

void Check(const heif_error& error) {
  if (error.code != heif_error_Ok)
    throw DecodeError(std::string("libheif: ") + (error.message ? error.message : "error"));
}

// The decoded image's interleaved plane.
class HeifRows final : public RgbRows {
public:
  HeifRows(std::unique_ptr<heif_image, ImageDeleter> image, uint32_t w, uint32_t h)
      : image_(std::move(image)), w_(w), h_(h) {
    int stride = 0;
    plane_ = heif_image_get_plane_readonly(image_.get(), heif_channel_interleaved, &stride);
    if (!plane_ || stride < static_cast<int64_t>(w_) * 3) throw DecodeError("No RGB plane");
    stride_ = static_cast<size_t>(stride);
  }
  uint32_t width() const override { return w_; }
  uint32_t height() const override { return h_; }
  const uint8_t* row(uint32_t r) const override { return plane_ + r * stride_; }

private:
  std::unique_ptr<heif_image, ImageDeleter> image_;
  uint32_t w_, h_;
  const uint8_t* plane_ = nullptr;
  size_t stride_ = 0;
};

class HeifCodec final : public PictureCodec {
public:
  explicit HeifCodec(std::span<const uint8_t> bytes) : context_(heif_context_alloc()) {
    if (!context_) throw DecodeError("libheif: no context");
    // A grid or overlay picture declares its canvas apart from its announced size, and the
    // library allocates that canvas before anything could check it: a damaged one asked
    // for over a gigabyte. The library's own limit (set before reading) bounds both, to
    // sides of at most kMaxHeifSide pixels; it refuses a side at the limit, hence + 1.
    heif_context_set_maximum_image_size_limit(context_.get(), kMaxHeifSide + 1);
    Check(heif_context_read_from_memory_without_copy(context_.get(), bytes.data(), bytes.size(),
                                                     nullptr));
    heif_image_handle* handle = nullptr;
    Check(heif_context_get_primary_image_handle(context_.get(), &handle));
    handle_.reset(handle);
    // The size after the container's transformations (a 90-degree turn exchanges sides).
    const int w = heif_image_handle_get_width(handle_.get());
    const int h = heif_image_handle_get_height(handle_.get());
    if (w <= 0 || h <= 0) throw DecodeError("Bad HEIF size");
    w_ = static_cast<uint32_t>(w);
    h_ = static_cast<uint32_t>(h);
  }
  uint32_t width() const override { return w_; }
  uint32_t height() const override { return h_; }
  bool scales() const override { return false; }

  kelv::plugin::DateTakenText dateTaken() const override {
    kelv::plugin::DateTakenText date{};
    heif_item_id id = 0;
    if (heif_image_handle_get_list_of_metadata_block_IDs(handle_.get(), "Exif", &id, 1) != 1) return date;
    const size_t size = heif_image_handle_get_metadata_size(handle_.get(), id);
    // The item starts with the big-endian offset of the TIFF header from the item's fifth
    // byte.
    if (size < 4 + 8 || size > kMaxExifItem) return date;
    HeapBlock block = NewHeapBlock(size);
    if (heif_image_handle_get_metadata(handle_.get(), id, block.Get()).code != heif_error_Ok) return date;
    const auto* bytes = block.As<const uint8_t>();
    const uint32_t offset = uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
    if (offset > size - 4) return date;
    return kelv::plugin::ReadDateTaken(bytes + 4 + offset, size - 4 - offset);
  }

  std::unique_ptr<RgbRows> decode(uint32_t, uint32_t) override {
    const std::unique_ptr<heif_decoding_options, OptionsDeleter> options(heif_decoding_options_alloc());
    if (!options) throw DecodeError("libheif: no options");
    options->ignore_transformations = 0;
    options->convert_hdr_to_8bit = 1;
    heif_image* image = nullptr;
    Check(heif_decode_image(handle_.get(), &image, heif_colorspace_RGB, heif_chroma_interleaved_RGB,
                            options.get()));
    std::unique_ptr<heif_image, ImageDeleter> owned(image);
    // What arrives must be what the handle announced: the host allocated for that size.
    if (heif_image_get_width(image, heif_channel_interleaved) != static_cast<int>(w_) ||
        heif_image_get_height(image, heif_channel_interleaved) != static_cast<int>(h_))
      throw DecodeError("Decoded HEIF size disagrees");
    if (heif_image_get_bits_per_pixel_range(image, heif_channel_interleaved) != 8)
      throw DecodeError("HEIF decoded to other than 8 bits");
    return std::make_unique<HeifRows>(std::move(owned), w_, h_);
  }

private:
  std::unique_ptr<heif_context, ContextDeleter> context_;
  std::unique_ptr<heif_image_handle, HandleDeleter> handle_;
  uint32_t w_ = 0, h_ = 0;
};

}  // namespace

std::unique_ptr<PictureCodec> OpenHeif(std::span<const uint8_t> bytes) {
  return std::make_unique<HeifCodec>(bytes);
}

}  // namespace modernformats
