// What an operator asks with "--status KU:12": when the device's last send
// and receive ran and how they ended, its last failure, and what waits now
// in its exchange directories. Answered from the device's journal and its
// directories without the device's lock and without writing anything.
#pragma once

#include <string>

namespace bridge {

// The answer for the configured device, as Windows-1250 lines. Call it with
// the configuration opened for inspection.
std::string DeviceStatusText();

}  // namespace bridge
