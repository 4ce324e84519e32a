#include "support/fault_seam.h"

#include <sqlext.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace varnoklis::testing {

namespace {

struct Fault {
  bool set = false;
  FaultPoint point = FaultPoint::Execute;
  std::uint64_t ordinal = 0;
  std::string state;
  std::int32_t native = 0;
  std::uint64_t times = 1;
};

FaultPoint point_named(const std::string& name) {
  if (name == "fetch") return FaultPoint::Fetch;
  if (name == "commit") return FaultPoint::Commit;
  if (name == "rollback") return FaultPoint::Rollback;
  return FaultPoint::Execute;
}

Fault parse(const char* text) {
  Fault fault;
  if (text == nullptr) return fault;
  std::string line = text;
  std::string parts[5];
  std::size_t count = 0, start = 0;
  while (count < 5) {
    std::size_t colon = line.find(':', start);
    parts[count++] = line.substr(start, colon - start);
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  if (count < 4) return fault;
  fault.point = point_named(parts[0]);
  fault.ordinal = std::stoull(parts[1]);
  fault.state = parts[2];
  fault.native = static_cast<std::int32_t>(std::stol(parts[3]));
  if (count == 5) fault.times = std::stoull(parts[4]);
  fault.set = true;
  return fault;
}

std::chrono::microseconds pause_of(const char* name) {
  const char* setting = std::getenv(name);
  return std::chrono::microseconds(setting != nullptr ? std::stoll(setting) : 0);
}

// The texts of every thread go to one file, a whole line at a time.
struct TextRecord {
  std::mutex mutex;
  std::FILE* file = nullptr;
  ~TextRecord() {
    if (file != nullptr) std::fclose(file);
  }
  void add(const std::string& text) {
    std::lock_guard lock(mutex);
    std::fwrite(text.data(), 1, text.size(), file);
    std::fputc('\n', file);
  }
};

// What the simulated pauses really took, written to VARNOKLIS_SEAM_TIMES when the last session
// lets the seam go: round trips (those of staging inserts apart, as they are sent in bursts) and
// flushes, each as a count and seconds.
struct PauseTimes {
  std::string file;
  std::atomic<std::int64_t> counts[3] = {0, 0, 0};
  std::atomic<std::int64_t> nanoseconds[3] = {0, 0, 0};
  void pause(int kind, std::chrono::microseconds length) {
    auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(length);
    ++counts[kind];
    nanoseconds[kind] += std::chrono::duration_cast<std::chrono::nanoseconds>(
                             std::chrono::steady_clock::now() - start)
                             .count();
  }
  ~PauseTimes() {
    std::FILE* out = file.empty() ? nullptr : std::fopen(file.c_str(), "a");
    if (out == nullptr) return;
    const char* names[] = {"roundtrips", "insert_roundtrips", "flushes"};
    for (int i = 0; i < 3; ++i) {
      std::fprintf(out, "%s %lld %.6f\n", names[i], static_cast<long long>(counts[i].load()),
                   static_cast<double>(nanoseconds[i].load()) / 1e9);
    }
    std::fclose(out);
  }
};

}  // namespace

FaultHook seam_from_environment() {
  Fault fault = parse(std::getenv("VARNOKLIS_FAULT"));
  auto flush = pause_of("VARNOKLIS_COMMIT_PAUSE_US");
  auto round_trip = pause_of("VARNOKLIS_ROUNDTRIP_US");
  std::shared_ptr<TextRecord> texts;
  if (const char* file = std::getenv("VARNOKLIS_RECORD_TEXTS"); file != nullptr) {
    texts = std::make_shared<TextRecord>();
    texts->file = std::fopen(file, "a");
    if (texts->file == nullptr) texts.reset();
  }
  auto times = std::make_shared<PauseTimes>();
  if (const char* file = std::getenv("VARNOKLIS_SEAM_TIMES"); file != nullptr) times->file = file;
  return [fault, flush, round_trip, texts, times](FaultPoint point, std::uint64_t ordinal,
                                                  Diagnostics& diag) {
    if (point == FaultPoint::CursorCommitBehavior) {
      diag.native = SQL_CB_CLOSE;
      return true;
    }
    if (point == FaultPoint::RetryPause) return true;
    if (point == FaultPoint::Flushed && flush.count() > 0) times->pause(2, flush);
    if (point == FaultPoint::Execute) {
      if (texts) texts->add(diag.message);
      bool insert = diag.message.find("INSERT INTO KvxCore.Kvx999Tmp") != std::string::npos;
      if (round_trip.count() > 0) times->pause(insert ? 1 : 0, round_trip);
    }
    if (!fault.set || point != fault.point || ordinal < fault.ordinal ||
        ordinal >= fault.ordinal + fault.times) {
      return false;
    }
    diag.state = fault.state;
    diag.native = fault.native;
    diag.message = "injected";
    return true;
  };
}

}  // namespace varnoklis::testing
