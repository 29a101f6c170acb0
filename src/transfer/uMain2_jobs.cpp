#include "transfer/uMain2_jobs.h"

#include <string>

#include "app/Uprogramparams.h"
#include "platform/Cp1250.h"
#include "platform/EBridgeError.h"

namespace bridge {

// TODO: the receive job is not built yet; it must not pretend to succeed.
void ReceiveJob() {
  CheckLayout();
  throw EBridgeError(
      Cp1250(u8"Zadanie odbioru dokumentów nie jest jeszcze dostępne").str());
}

// TODO: the send job is not built yet; it must not pretend to succeed.
void SendJob() {
  CheckLayout();
  throw EBridgeError(
      Cp1250(u8"Zadanie wysyłania danych nie jest jeszcze dostępne").str());
}

}  // namespace bridge
