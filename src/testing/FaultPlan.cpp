#include "testing/FaultPlan.h"

#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include "platform/EBridgeError.h"
#include "platform/Files.h"
#include "platform/System.h"

namespace bridge::testing {

using platform::TFileOp;

TFaultPlan& TFaultPlan::Fail(TFileOp op, std::string pathPart, int nth,
                             int times) {
  FRules.push_back(TRule{op, std::move(pathPart), nth, times});
  return *this;
}

TFaultPlan& TFaultPlan::CrashAt(int step) {
  FCrashAt = step;
  return *this;
}

namespace {

// A path with "/" between its parts, whatever the system writes, so that a
// test names the end of a path once for every system.
std::string Slashed(std::string_view path) {
  std::string out(path);
  for (char& c : out) {
    if (platform::IsPathDelimiter(c)) c = '/';
  }
  return out;
}

}  // namespace

bool TFaultPlan::Allow(TFileOp op, std::string_view path,
                       std::string_view second) {
  const std::lock_guard<std::mutex> lock(FLock);
  if (FCrashed) return false;
  if (platform::ChangesDisk(op) && ++FDiskSteps == FCrashAt) {
    FCrashed = true;
    return false;
  }
  TFileStep step{op, std::string(path), std::string(second)};
  if (op == TFileOp::kRemove) {
    std::error_code ec;
    step.Existed = std::filesystem::is_regular_file(step.Path, ec);
  }
  bool allowed = true;
  for (TRule& rule : FRules) {
    if (rule.Op != op || !Slashed(path).ends_with(rule.PathPart)) continue;
    ++rule.Seen;
    if (rule.Seen >= rule.Nth &&
        (rule.Times == 0 || rule.Seen < rule.Nth + rule.Times)) {
      allowed = false;
    }
  }
  if (allowed) FTrace.push_back(std::move(step));
  return allowed;
}

TScopedFaults::TScopedFaults() {
  auto plan = std::make_unique<TFaultPlan>();
  FPlan = plan.get();
  platform::System().Faults = std::move(plan);
}

TScopedFaults::~TScopedFaults() { platform::System().Faults.reset(); }

bool CrashesAt(int step, const std::function<void()>& run) {
  TScopedFaults faults;
  faults->CrashAt(step);
  try {
    run();
  } catch (const EBridgeError&) {
  }
  return faults->Crashed();
}

std::vector<std::string> UndurableSteps(const std::vector<TFileStep>& trace) {
  struct TWritten {
    bool Flushed = false;
    bool Closed = false;
  };
  std::map<std::string, TWritten> written;
  std::set<std::string> unflushed;  // directories with changed names
  std::vector<std::string> problems;
  const auto changed = [&](const std::string& directory,
                           const std::string& what) {
    for (const std::string& other : unflushed) {
      if (other != directory) {
        problems.push_back(what + " before " + other + " was flushed");
      }
    }
    unflushed = {directory};
  };
  for (const TFileStep& step : trace) {
    switch (step.Op) {
      case TFileOp::kCreate:
      case TFileOp::kWrite:
        written[step.Path] = TWritten{};
        break;
      case TFileOp::kFlush:
        written[step.Path].Flushed = true;
        break;
      case TFileOp::kClose:
        written[step.Path].Closed = true;
        break;
      case TFileOp::kRename: {
        const auto it = written.find(step.Path);
        if (it != written.end() && !(it->second.Flushed && it->second.Closed)) {
          problems.push_back(step.Path + " renamed before it was flushed");
        }
        changed(platform::ExtractFileDir(step.Second),
                "rename to " + step.Second);
        break;
      }
      case TFileOp::kRemove:
        if (step.Existed) {
          changed(platform::ExtractFileDir(step.Path),
                  "removal of " + step.Path);
        }
        break;
      case TFileOp::kFlushDir:
        unflushed.erase(step.Path);
        break;
      default:
        break;
    }
  }
  for (const std::string& directory : unflushed) {
    problems.push_back(directory + " never flushed");
  }
  return problems;
}

::testing::AssertionResult InOrder(const std::vector<TFileStep>& trace,
                                   const std::vector<TFileStep>& expected) {
  std::size_t at = 0;
  for (const TFileStep& want : expected) {
    while (at < trace.size() &&
           !(trace[at].Op == want.Op &&
             Slashed(trace[at].Path).ends_with(Slashed(want.Path)) &&
             Slashed(trace[at].Second).ends_with(Slashed(want.Second)))) {
      ++at;
    }
    if (at == trace.size()) {
      return ::testing::AssertionFailure()
             << "step " << static_cast<int>(want.Op) << " " << want.Path << " "
             << want.Second << " is missing or out of order";
    }
    ++at;
  }
  return ::testing::AssertionSuccess();
}

}  // namespace bridge::testing
