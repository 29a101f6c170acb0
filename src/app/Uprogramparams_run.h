// Run control: one run mode per process, its failure shown and turned into
// the exit status.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/Files.h"
#include "transfer/JobReport.h"

namespace bridge {

// The lock file of a device's jobs: "<padded name>.lock" in the program
// directory.
std::string DeviceLockPath(std::string_view deviceName);
// Keeps every other job of the device, and of devices whose names pad to
// the same exchange directories ("1" and "01"), waiting: a lock file
// "<padded name>.lock" in the program directory. Waits for another holder
// up to the system's LockWait, then raises "Trwa inna wymiana danych z
// urządzeniem: " + name. Nothing for a name the configuration refuses.
std::unique_ptr<platform::TFileLock> LockDevice(std::string_view deviceName);

// "O" runs the receive job, "W" and "I" the send job, anything else the
// parameter editor. A job's report, when given, gets what the job did.
void RunSelectedMode(TJobReport* report = nullptr);
// Runs the selected mode; an error that ended it is shown (an empty message
// silently). Gives 0 after a normal end and 1 after an error.
int RunProgram();
// What the process does: locks the command-line device, creates its
// configuration, then runs the mode, holding the lock to the end of a job.
// An error of start-up is shown like any other. A job, and a job refused
// once its device is known, leaves a line in the device's journal before
// its error is shown. "--help", "-h", "/?" and "--version" as the first
// argument only print the usage or the version; "--status" or "--stan"
// prints the device's status, taking no lock and writing nothing.
int StartProgram();

}  // namespace bridge
