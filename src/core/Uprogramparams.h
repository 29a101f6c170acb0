// The command line and the table layout parameter.
#pragma once

#include <string>

namespace bridge {

// The exchange mode letter from argument 1 ("RW:" and a word whose first
// letter counts), or the empty text. Reads the argument on every call.
std::string GetExchangeMode();
// The device name from argument 2 ("KU:" and a name), upper-cased and
// trimmed. Reads the argument on every call.
std::string GetDeviceArg();

// The layout name of parameter WERSJA, "1.7.0" when it is blank.
std::string GetLayoutName();
// kLayout170 for "1.7.0", kLayout180 for "1.8.0"; re-reads the
// configuration on every call.
int GetLayoutIndex();
// Whether the layout in force is the newer one, "1.8.0": the one way a
// transfer or a job asks. Re-reads the configuration on every call.
bool NewLayoutInForce();
// Raises "Niepoprawny parametr "WERSJA"" when the configured layout is not
// one of the table.
void CheckLayout();

}  // namespace bridge
