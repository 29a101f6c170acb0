// forbook-bench-timer: runs a program several times and reports its wall
// time, process start included, and its peak resident memory:
//
//   forbook-bench-timer [--reps N] [--label TEXT] [--records N] -- PROGRAM
//   ARGS...
//
// Prints one line per run, then a summary line
//   LABEL: runs N, min X ms, median Y ms, max Z ms, peak RSS W MiB[, R
//   records/s]
// where the records per second are taken at the median time. Exits with 1
// as soon as a run does not end with status 0, so a failing job never passes
// for a fast one.
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct TRun {
  double WallMs = 0;
  long MaxRssKiB = 0;
  int Status = 0;  // the exit status, or 128 + the signal that ended it
};

TRun RunOnce(const std::vector<char*>& command) {
  TRun run;
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child < 0) {
    std::perror("fork");
    run.Status = 127;
    return run;
  }
  if (child == 0) {
    execv(command[0], command.data());
    std::perror(command[0]);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  // wait4 gives this child's own usage, not the maximum over all children.
  if (wait4(child, &status, 0, &usage) < 0) {
    std::perror("wait4");
    run.Status = 127;
    return run;
  }
  const auto end = std::chrono::steady_clock::now();
  run.WallMs = std::chrono::duration<double, std::milli>(end - start).count();
  run.MaxRssKiB = usage.ru_maxrss;
  if (WIFEXITED(status)) {
    run.Status = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    run.Status = 128 + WTERMSIG(status);
  }
  return run;
}

void Usage() {
  std::fputs(
      "usage: forbook-bench-timer [--reps N] [--label TEXT] [--records N]"
      " -- PROGRAM ARGS...\n",
      stderr);
}

}  // namespace

int main(int argc, char** argv) {
  int reps = 5;
  std::string label = "run";
  double records = 0;
  int i = 1;
  for (; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--") {
      ++i;
      break;
    }
    if (i + 1 >= argc) {
      Usage();
      return 2;
    }
    if (arg == "--reps") {
      reps = std::atoi(argv[++i]);
    } else if (arg == "--label") {
      label = argv[++i];
    } else if (arg == "--records") {
      records = std::atof(argv[++i]);
    } else {
      Usage();
      return 2;
    }
  }
  if (i >= argc || reps < 1) {
    Usage();
    return 2;
  }
  std::vector<char*> command(argv + i, argv + argc);
  command.push_back(nullptr);

  std::vector<double> times;
  long peakKiB = 0;
  for (int rep = 1; rep <= reps; ++rep) {
    const TRun run = RunOnce(command);
    std::printf("  %s run %d: %.1f ms, max RSS %.1f MiB\n", label.c_str(), rep,
                run.WallMs, static_cast<double>(run.MaxRssKiB) / 1024.0);
    std::fflush(stdout);
    if (run.Status != 0) {
      std::fprintf(stderr, "%s: run %d ended with status %d\n", label.c_str(),
                   rep, run.Status);
      return 1;
    }
    times.push_back(run.WallMs);
    peakKiB = std::max(peakKiB, run.MaxRssKiB);
  }
  std::sort(times.begin(), times.end());
  const std::size_t n = times.size();
  const double median =
      n % 2 == 1 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2.0;
  std::printf(
      "%s: runs %zu, min %.1f ms, median %.1f ms, max %.1f ms, "
      "peak RSS %.1f MiB",
      label.c_str(), n, times.front(), median, times.back(),
      static_cast<double>(peakKiB) / 1024.0);
  if (records > 0 && median > 0) {
    std::printf(", %.0f records/s", records / (median / 1000.0));
  }
  std::printf("\n");
  return 0;
}
