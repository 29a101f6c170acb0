// Every text that the host text files show to the operator, written once.
#pragma once

#include "platform/Cp1250.h"

namespace bridge {

inline constexpr auto kTextBadDefinition = Cp1250(u8"Niepoprawna definicja:");
inline constexpr auto kTextDuplicateField =
    Cp1250(u8"Istnieje już definicja pola ");
inline constexpr auto kTextFieldNotDefined =
    Cp1250(u8"Nie znaleziono definicji pola ");
inline constexpr auto kTextReadOnlyAppend =
    Cp1250(u8"W trybie read-only nie można dopisywać danych");

}  // namespace bridge
