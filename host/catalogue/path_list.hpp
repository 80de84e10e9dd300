// An owned list of full file paths, as kept by a catalogue entry for its pictures and for
// its filtered pictures. It is a plain vector of strings that also tells the catalogue
// holding it when its length changes, so that the catalogue's global picture index can be
// kept as prefix sums and rebuilt only after a change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kelv {

class TPathList {
public:
  using const_iterator = std::vector<std::string>::const_iterator;

  TPathList() = default;
  explicit TPathList(std::vector<std::string> names) : names_(std::move(names)) {}
  // A copy is a new, independent list: it holds the names but belongs to no catalogue.
  TPathList(const TPathList& other) : names_(other.names_) {}
  TPathList& operator=(const TPathList& other) {
    if (this != &other) assign(other.names_);
    return *this;
  }

  size_t size() const noexcept { return names_.size(); }
  bool empty() const noexcept { return names_.empty(); }
  const std::string& operator[](size_t i) const { return names_[i]; }
  // Renaming in place does not change the length, so the index stays valid.
  std::string& operator[](size_t i) { return names_[i]; }
  const std::string& front() const { return names_.front(); }
  const std::string& back() const { return names_.back(); }
  const_iterator begin() const noexcept { return names_.begin(); }
  const_iterator end() const noexcept { return names_.end(); }
  const std::vector<std::string>& names() const noexcept { return names_; }

  void reserve(size_t n) { names_.reserve(n); }
  void push_back(std::string name) {
    names_.push_back(std::move(name));
    Changed();
  }
  void insert(size_t i, std::string name) {
    names_.insert(names_.begin() + static_cast<std::ptrdiff_t>(i), std::move(name));
    Changed();
  }
  void erase(size_t i) {
    names_.erase(names_.begin() + static_cast<std::ptrdiff_t>(i));
    Changed();
  }
  void clear() {
    names_.clear();
    Changed();
  }
  void assign(std::vector<std::string> names) {
    names_ = std::move(names);
    Changed();
  }
  // Appends many names at once (one change notice).
  void append(const std::vector<std::string>& names) {
    names_.insert(names_.end(), names.begin(), names.end());
    Changed();
  }

  // The change counter of the catalogue this list belongs to (set by the catalogue).
  void AttachTo(std::shared_ptr<uint64_t> counter) { counter_ = std::move(counter); }

private:
  void Changed() {
    if (counter_) ++*counter_;
  }

  std::vector<std::string> names_;
  std::shared_ptr<uint64_t> counter_;
};

}  // namespace kelv
