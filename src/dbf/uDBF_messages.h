// Every text that the device table engine shows, written once. Each is
// followed directly by the path or field name it concerns.
#pragma once

#include "platform/Cp1250.h"

namespace bridge::dbf_messages {

inline constexpr auto kFieldExists = Cp1250(u8"Istnieje już pole o nazwie ");
inline constexpr auto kFieldNameTooLong = Cp1250(u8"Nazwa pola ");
inline constexpr auto kFieldNameTooLongEnd = Cp1250(u8" jest za długa");
// No blank after the colon: the path follows it directly.
inline constexpr auto kCannotOpen = Cp1250(u8"Nie można otworzyć pliku:");
inline constexpr auto kHeaderTooShort = Cp1250(u8"Nagłówek jest za krótki");
inline constexpr auto kDamagedHeader = Cp1250(u8"Uszkodzony nagłówek pliku: ");
inline constexpr auto kFieldNotFound = Cp1250(u8"Nie znaleziono pola ");
inline constexpr auto kAppendReadOnly =
    Cp1250(u8"Nie można dopisywać rekordów w trybie read-only");

}  // namespace bridge::dbf_messages
