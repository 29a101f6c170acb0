// The journal of a device's jobs: one line per send or receive job, added
// to "<program directory>/<device>/<program base name>.log" once the job's
// outcome is known, so that support can tell when the device last got its
// tables or handed over its documents, what each job read and wrote, and
// what went wrong.
//
// A line is TAB-separated: the local date and time the job started, as
// "yyyy-mm-dd hh:nn:ss", then key=value fields:
//
//   mode=W              the mode letter: W or I (send), O (receive)
//   device=12           the device
//   seconds=0.214       how long the job took
//   status=0            its exit status, 0 or 1
//   message=...         the message of a failed job
//   klient.dbf=read 11 written 10 skipped 1 cut 2 replaced 3
//                       per table a send wrote: host records read, table
//                       records written, records left out, values cut to
//                       their field's width, characters code page 852 lacks
//   klient.dbf=no kontrahent.txt
//                       a table that got nothing: its host file was missing
//   dok.txt=read 5 written 4 skipped 1
//                       per host file a receive wrote: table records read,
//                       lines written, records left out (deleted on the
//                       device)
//   documents=4  lines=7
//                       the documents and lines handed to the host
//   recovered=published poz.txt, archived dokument.dbf
//                       what the job finished or undid of a stopped job:
//                       removed, restored, published or archived, and the
//                       file's name
//
// The text is Windows-1250, as the host's files are, and each line ends as
// lines do on the system (CR LF on Windows). TAB, CR and LF in a value
// become blanks.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/DateTime.h"
#include "transfer/JobReport.h"

namespace bridge {

// A journal is renamed to "<journal>.1", replacing the older one, rather
// than grow beyond this.
inline constexpr std::size_t kJournalLimit = std::size_t{1} << 20;

// The journal of a device of the program at executablePath.
std::string JournalPath(std::string_view executablePath,
                        std::string_view deviceName);

struct TJournalRecord {
  TDateTime Started = 0;
  std::string Mode;
  std::string Device;
  double Seconds = 0;
  int Status = 0;
  std::string Message;
  TJobReport Report;
};

// The record's line, line end included.
std::string JournalLine(const TJournalRecord& record);

// Only a job that holds its device's lock may rename the journal: a job
// that was refused it appends only.
enum class TJournalRotation { kAllowed, kNever };

// Adds the line to the journal. A journal that cannot be written is passed
// over without a word: no job's outcome or message depends on it.
void AppendToJournal(std::string_view path, std::string_view line,
                     TJournalRotation rotation);

// A line of the journal read back.
struct TJournalEntry {
  std::string When;
  std::vector<std::pair<std::string, std::string>> Fields;
  // The value of the first field of that key; empty when there is none.
  std::string Value(std::string_view key) const;
  bool Has(std::string_view key) const;
};

// The lines of the journal's older part, then of the journal, in the order
// they were written; lines that are no record are passed over, and so is a
// journal that cannot be read.
std::vector<TJournalEntry> ReadJournal(std::string_view path);

}  // namespace bridge
