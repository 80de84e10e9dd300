#include "stats/run_stats.hpp"

#include <charconv>
#include <memory>
#include <utility>

#include "stats/run_stats.hpp"

namespace kelv {

namespace {

constexpr const char* kSaverWindowClass = "KSFW_Kelvora";
constexpr const char* kSettingsWindowClass = "KSSW_Kelvora";

// One operation's hold on the product key: opened (created when missing) at the start
// and closed at the end. A key that cannot be opened makes the operation do nothing: the
// counters only describe runs and must never stop one.
class StatsKey {
public:
  explicit StatsKey(RegistryStore& registry)
      : key_(registry.Open(Hive::CurrentUser, kProductKey, KeyAccess::Create)) {}
  explicit operator bool() const { return key_ != nullptr; }

  // A value of another type reads as empty (and so counts as 0).
  std::string Text(const std::string& name) const {
    bool typeError = false;
    return ReadStringValue(*key_, name, &typeError).value_or(std::string());
  }
  int64_t Number(const std::string& name) const { return CounterNumber(Text(name)); }
  void Set(const std::string& name, const std::string& text) { key_->SetString(name, text); }
  void Set(const std::string& name, int64_t n) { Set(name, std::to_string(n)); }
  void Increment(const std::string& name) { Set(name, Number(name) + 1); }

private:
  std::unique_ptr<RegistryKey> key_;
};

}  // namespace

int64_t CounterNumber(const std::string& text) {
  int64_t n = 0;
  const char* first = text.data();
  const char* last = first + text.size();
  const auto [end, ec] = std::from_chars(first, last, n);
  return ec == std::errc() && end == last && !text.empty() ? n : 0;
}

int CountClass(int64_t n) {
  if (n <= 0) return 0;
  if (n <= 5) return 1;
  if (n <= 10) return 2;
  if (n <= 20) return 3;
  if (n <= 50) return 4;
  if (n <= 200) return 5;
  if (n <= 500) return 6;
  return 7;
}

int RateClass(double rate) {
  if (rate <= 0) return 0;
  if (rate < 0.01) return 1;
  if (rate < 0.05) return 2;
  if (rate < 0.1) return 3;
  if (rate < 0.2) return 4;
  if (rate < 0.5) return 5;
  if (rate < 1) return 6;
  return 7;
}

RunStats::RunStats(RegistryStore& registry, RunStatsPlatform platform, uint32_t versionWord)
    : registry_(registry), platform_(std::move(platform)), versionWord_(versionWord) {}

void RunStats::Start() {
  {
    StatsKey key(registry_);
    if (key) {
      const uint32_t v = versionWord_;
      const std::string version = std::to_string(v >> 24) + "." + std::to_string((v >> 16) & 0xFF) + "." +
                                  std::to_string((v >> 8) & 0xFF) + "." + std::to_string(v & 0xFF);
      if (key.Text("ver") != version) {
        key.Set("ver", version);
        for (const char* name : {"win", "uwer", "uer", "er", "count", "prever"}) key.Set(name, "0");
      }

      bool dead = false;
      for (int i = 0;;) {
        int64_t m = key.Number("win");
        if (m == -1) {
          if (i == 0) platform_.sleepMs(1000);
          const std::string again = key.Text("win");
          if (again != "-1") m = CounterNumber(again);
        }
        if (m == 0) {
          otherInstance_ = false;
          break;
        }
        if (m == -1) {
          otherInstance_ = false;
          key.Increment("uwer");
          dead = true;
          break;
        }
        const std::string cls = platform_.windowClassName(m);
        if (cls == kSaverWindowClass || cls == kSettingsWindowClass) {
          otherInstance_ = true;
          break;
        }
        if (i < 4) {
          platform_.sleepMs(1000);
          ++i;
          continue;
        }
        key.Increment("uer");
        dead = true;
        break;
      }
      if (!otherInstance_) key.Set("win", "-1");
      key.Increment("count");
      if (dead) key.Increment("prever");
    }
  }
  UpdateBuckets(true, false);
  StartTick = platform_.tickCount();
}

void RunStats::RecordWindow(int64_t window, bool force) {
  if (otherInstance_ || (!force && markerWritten_)) return;
  StatsKey key(registry_);
  if (!key) return;
  markerWritten_ = true;
  key.Set("win", window);
}

void RunStats::CleanEnd() {
  UpdateBuckets(false, false);
  StatsKey key(registry_);
  if (!key) return;
  key.Set("prever", "0");
  if (!otherInstance_) key.Set("win", "0");
}

void RunStats::RecordCrash() {
  {
    StatsKey key(registry_);
    if (!key) return;
    key.Increment("prever");
    key.Increment("er");
  }
  UpdateBuckets(false, false);
  StatsKey key(registry_);
  if (key && !otherInstance_) key.Set("win", "0");
}

void RunStats::UpdateBuckets(bool counted, bool crash) {
  StatsKey key(registry_);
  if (!key) return;
  int64_t n = key.Number("count");
  const int64_t er = key.Number("er");
  const int64_t uer = key.Number("uer");
  const int64_t uwer = key.Number("uwer");
  if (n > 1 && counted) --n;
  buckets_[0] = CountClass(n);
  if (n <= 0) n = 1;
  const double count = static_cast<double>(n);
  buckets_[1] = RateClass(static_cast<double>(crash ? er + 1 : er) / count);
  buckets_[2] = RateClass(static_cast<double>(uer) / count);
  buckets_[3] = RateClass(static_cast<double>(uwer) / count);
}

std::string RunStats::Summary() {
  UpdateBuckets(false, true);
  std::string text;
  for (int i = 3; i >= 0; --i) text += static_cast<char>('0' + buckets_[i]);
  StatsKey key(registry_);
  const int64_t p = key ? key.Number("prever") : 0;
  if (p >= 1) text += ", " + std::to_string(p + 1);
  return text;
}

}  // namespace kelv
