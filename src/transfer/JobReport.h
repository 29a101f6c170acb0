// What a send or receive job did, for the device's journal: per table or
// host file the records read, written and left out, what the table could
// not take whole, the documents handed to the host, and what the job
// finished or undid of a job that stopped before it. A job fills it as it
// goes, so a job that fails reports what it had finished.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bridge {

// One run of a transfer.
struct TTransferCounts {
  // Whether the file or table the run reads was there.
  bool SourceFound = false;
  std::int64_t Read = 0;
  std::int64_t Written = 0;
  // Records the run left out: filtered out, or deleted on the device.
  std::int64_t Skipped = 0;
  // Values cut to their field's width, characters given a plain stand-in.
  std::int64_t Cut = 0;
  std::int64_t Replaced = 0;
};

struct TJobReport {
  struct TRun {
    std::string Target;  // the table or host file written
    std::string Source;  // the host file or table read
    TTransferCounts Counts;
  };
  enum class TRecoveryStep {
    kRemoved,    // a file a stopped job was preparing, no longer needed
    kRestored,   // an upload put back to be read again
    kPublished,  // a prepared host file given its name
    kArchived,   // a taken upload backed up and deleted
  };
  struct TRecovery {
    TRecoveryStep Step;
    std::string Name;
  };

  // The runs that finished, in their order.
  std::vector<TRun> Runs;
  // The documents and document lines handed to the host; -1 when none were.
  std::int64_t Documents = -1;
  std::int64_t Lines = -1;
  std::vector<TRecovery> Recovered;
};

}  // namespace bridge
