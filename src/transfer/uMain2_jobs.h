// The two batch jobs that the host starts.
#pragma once

#include <string>
#include <vector>

#include "transfer/JobReport.h"

namespace bridge {

// Device documents become host import files. A report, when given, gets
// what the job did, as far as it got.
void ReceiveJob(TJobReport* report = nullptr);
// Host export files become device tables.
void SendJob(TJobReport* report = nullptr);

// What waits in a device's exchange directories between its jobs.
enum class TPendingKind {
  kUncollected,  // dok.txt or poz.txt that the host has not taken yet
  kUploaded,     // a document table the device uploaded
  kTaken,        // an upload a stopped receive took, awaiting its backup
  kPrepared,     // a file a stopped job was preparing
  kUnknown,      // a place that could not be looked at
};
struct TPendingFile {
  TPendingKind Kind;
  std::string Path;
};
// Looks into the device's directories without changing anything and
// without making any of them.
std::vector<TPendingFile> FindPendingWork();

}  // namespace bridge
