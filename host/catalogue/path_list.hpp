// An owned list of full file paths, as kept by a catalogue entry for its pictures and for
// its filtered pictures. It is a plain vector of strings that also tells the catalogue
// holding it when its length changes, so that the catalogue's global picture index can be
// kept as prefix sums and rebuilt only after a change.
//
// A list read from the cache file may keep its names packed as the file holds them (the
// file's bytes, shared by all its lists, and where each name starts) until something asks
// for them as strings: a saver run only ever needs the few names it shows, and making a
// string of each of 100,000 names costs more than the rest of the start-up of a large
// catalogue. size() and NameAt() read the packed names as they are; every other access
// makes the strings first, once, also when several threads read the list at once.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kelv {

// Names as the cache file stores them: each runs from its start to the next 0x00 byte.
struct PackedNames {
  std::shared_ptr<const std::vector<uint8_t>> bytes;
  std::vector<uint32_t> starts;
};

class TPathList {
public:
  using const_iterator = std::vector<std::string>::const_iterator;

  TPathList() = default;
  explicit TPathList(std::vector<std::string> names) : names_(std::move(names)) {}
  explicit TPathList(PackedNames packed) : packed_(std::make_unique<Packed>(std::move(packed))) {}
  // A copy is a new, independent list: it holds the names but belongs to no catalogue.
  TPathList(const TPathList& other) : names_(other.names()) {}
  TPathList& operator=(const TPathList& other) {
    if (this != &other) assign(other.names());
    return *this;
  }

  size_t size() const noexcept { return packed_ ? packed_->names.starts.size() : names_.size(); }
  bool empty() const noexcept { return size() == 0; }
  // Name i without making the list's strings.
  std::string_view NameAt(size_t i) const {
    if (packed_ && !packed_->unpacked.load(std::memory_order_acquire)) return packed_->View(i);
    return names_[i];
  }
  const std::string& operator[](size_t i) const { return names()[i]; }
  // Renaming in place does not change the length, so the index stays valid.
  std::string& operator[](size_t i) {
    Unpack();
    return names_[i];
  }
  const std::string& front() const { return names().front(); }
  const std::string& back() const { return names().back(); }
  const_iterator begin() const { return names().begin(); }
  const_iterator end() const { return names().end(); }
  const std::vector<std::string>& names() const {
    Unpack();
    return names_;
  }

  void reserve(size_t n) {
    Own();
    names_.reserve(n);
  }
  void push_back(std::string name) {
    Own();
    names_.push_back(std::move(name));
    Changed();
  }
  void insert(size_t i, std::string name) {
    Own();
    names_.insert(names_.begin() + static_cast<std::ptrdiff_t>(i), std::move(name));
    Changed();
  }
  void erase(size_t i) {
    Own();
    names_.erase(names_.begin() + static_cast<std::ptrdiff_t>(i));
    Changed();
  }
  void clear() {
    packed_.reset();
    names_.clear();
    Changed();
  }
  void assign(std::vector<std::string> names) {
    packed_.reset();
    names_ = std::move(names);
    Changed();
  }
  // Appends many names at once (one change notice).
  void append(const std::vector<std::string>& names) {
    Own();
    names_.insert(names_.end(), names.begin(), names.end());
    Changed();
  }

  // The change counter of the catalogue this list belongs to (set by the catalogue).
  void AttachTo(std::shared_ptr<uint64_t> counter) { counter_ = std::move(counter); }

private:
  struct Packed {
    explicit Packed(PackedNames n) : names(std::move(n)) {}
    std::string_view View(size_t i) const {
      const char* p = reinterpret_cast<const char*>(names.bytes->data()) + names.starts[i];
      return std::string_view(p);
    }
    PackedNames names;
    std::once_flag once;
    std::atomic<bool> unpacked{false};
  };

  // Makes the strings of packed names (once; readers on several threads wait for the
  // first). The packed names stay until the list changes, as readers on other threads may
  // still be reading them.
  void Unpack() const {
    if (!packed_ || packed_->unpacked.load(std::memory_order_acquire)) return;
    std::call_once(packed_->once, [this] {
      std::vector<std::string> names;
      names.reserve(packed_->names.starts.size());
      for (size_t i = 0; i < packed_->names.starts.size(); ++i) names.emplace_back(packed_->View(i));
      names_ = std::move(names);
      packed_->unpacked.store(true, std::memory_order_release);
    });
  }
  // Before a change: the names as strings, and the packed form gone.
  void Own() {
    Unpack();
    packed_.reset();
  }
  void Changed() {
    if (counter_) ++*counter_;
  }

  mutable std::vector<std::string> names_;
  std::unique_ptr<Packed> packed_;
  std::shared_ptr<uint64_t> counter_;
};

}  // namespace kelv
