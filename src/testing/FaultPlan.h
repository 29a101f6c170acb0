// File faults for tests: operations that fail where a rule says, a crash
// that freezes the disk at the Nth step that changes it, and a record of
// every step the program took.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileFaults.h"

namespace bridge::testing {

// The system's error number of a step the faults refused: an I/O error.
#ifdef _WIN32
inline constexpr int kFaultErrorCode = 1117;  // ERROR_IO_DEVICE
#else
inline constexpr int kFaultErrorCode = 5;  // EIO
#endif

struct TFileStep {
  platform::TFileOp Op;
  std::string Path;
  std::string Second = {};  // the target of a rename or a copy
  bool Existed = false;     // a removal: whether a file was there
};

class TFaultPlan final : public platform::TFileFaults {
 public:
  // Fails op on the paths that end in pathEnd, from the nth such step on
  // (counted from 1), times times (0: from then on).
  TFaultPlan& Fail(platform::TFileOp op, std::string pathEnd, int nth = 1,
                   int times = 0);
  // From the step-th step that changes the disk on, every operation fails:
  // the disk stays as a crash right before that step leaves it, whatever
  // the program does afterwards.
  TFaultPlan& CrashAt(int step);
  bool Crashed() const { return FCrashed; }
  const std::vector<TFileStep>& Trace() const { return FTrace; }

  bool Allow(platform::TFileOp op, std::string_view path,
             std::string_view second) override;

 private:
  struct TRule {
    platform::TFileOp Op;
    std::string PathPart;
    int Nth;
    int Times;
    int Seen = 0;
  };
  // A receive may read a large table on two threads.
  std::mutex FLock;
  std::vector<TRule> FRules;
  std::vector<TFileStep> FTrace;
  int FCrashAt = 0;
  int FDiskSteps = 0;
  bool FCrashed = false;
};

// Installs a fault plan into the current system for one scope.
class TScopedFaults {
 public:
  TScopedFaults();
  ~TScopedFaults();
  TScopedFaults(const TScopedFaults&) = delete;
  TScopedFaults& operator=(const TScopedFaults&) = delete;
  TFaultPlan* operator->() { return FPlan; }
  TFaultPlan& operator*() { return *FPlan; }

 private:
  TFaultPlan* FPlan;
};

// Runs a step of the program with the disk freezing at its step-th change,
// as a crash there would leave it; an error the frozen disk causes ends the
// step. True when the step got that far, false when it made fewer changes.
bool CrashesAt(int step, const std::function<void()>& run);

// What a trace shows that a power cut could undo: a file renamed into place
// before its last bytes were flushed and the file closed, and a rename or
// removal whose directory was never flushed afterwards. Empty when none.
std::vector<std::string> UndurableSteps(const std::vector<TFileStep>& trace);
// Whether the steps occur in the trace in this order, each matched by its
// operation and by its paths ending as given; names the first one missing.
::testing::AssertionResult InOrder(const std::vector<TFileStep>& trace,
                                   const std::vector<TFileStep>& expected);

}  // namespace bridge::testing
