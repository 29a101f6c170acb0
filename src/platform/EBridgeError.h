// The one error type of the program. Its message is Windows-1250 text that
// run control shows to the operator before the process ends with status 1.
#pragma once

#include <stdexcept>

namespace bridge {

class EBridgeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace bridge
