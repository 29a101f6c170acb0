// Every text that start-up, run control, the shared helpers and the
// configuration show to the operator, written once.
#pragma once

#include "platform/Cp1250.h"

namespace bridge {

inline constexpr auto kBadLayout = Cp1250(u8"Niepoprawny parametr \"WERSJA\"");
inline constexpr auto kNoDirectoryName = Cp1250(u8"Nie podano nazwy katalogu");
inline constexpr auto kCannotCreateDir =
    Cp1250(u8"Nie udało się utworzyć katalogu:");
inline constexpr auto kCannotMakeDir = Cp1250(u8"Nie można utworzyć katalogu ");
inline constexpr auto kBackupFailed =
    Cp1250(u8"Nie udało się utworzyć kopii pliku ");
inline constexpr auto kBackupErrorNo = Cp1250(u8" Błąd nr :");
inline constexpr auto kUnknownKey =
    Cp1250(u8"Nie znaleziono wartości o kodzie ");
inline constexpr auto kTemplateCopyFailed =
    Cp1250(u8"Nie udało się przekopiować pliku ");
inline constexpr auto kBadDeviceName =
    Cp1250(u8"Niepoprawna nazwa urządzenia: ");
inline constexpr auto kNoConfiguration =
    Cp1250(u8"Konfiguracja urządzenia nie została otwarta");

// Files that a job needs: each text is followed directly by the path, or by
// the device name.
inline constexpr auto kCannotCreateFile =
    Cp1250(u8"Nie można utworzyć pliku: ");
inline constexpr auto kReadFailed = Cp1250(u8"Nie udało się odczytać pliku ");
inline constexpr auto kWriteFailed = Cp1250(u8"Nie udało się zapisać pliku ");
inline constexpr auto kCannotRemove = Cp1250(u8"Nie można usunąć pliku: ");
inline constexpr auto kIncomplete = Cp1250(u8"Plik jest niekompletny: ");
inline constexpr auto kDeviceBusy =
    Cp1250(u8"Trwa inna wymiana danych z urządzeniem: ");

}  // namespace bridge
