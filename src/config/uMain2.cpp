#include "config/uMain2.h"

#include "platform/Cp1250.h"
#include "platform/EBridgeError.h"

namespace bridge {

// TODO: the editor dialog is not built yet; it must not pretend to succeed.
void ShowEditor() {
  throw EBridgeError(
      Cp1250(u8"Edytor parametrów nie jest jeszcze dostępny").str());
}

}  // namespace bridge
