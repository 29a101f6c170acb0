// Run control: one run mode per process, its failure shown and turned into
// the exit status.
#pragma once

namespace bridge {

// "O" runs the receive job, "W" and "I" the send job, anything else the
// parameter editor.
void RunSelectedMode();
// Runs the selected mode; an error that ended it is shown (an empty message
// silently). Gives 0 after a normal end and 1 after an error.
int RunProgram();
// What the process does: creates the configuration for the command-line
// device, then RunProgram. An error of start-up is shown like any other.
int StartProgram();

}  // namespace bridge
