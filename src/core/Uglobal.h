// Helpers that every layer shares: the per-device exchange directories,
// backups, the two message boxes and small conversions of numbers, dates,
// flags and texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/DateTime.h"

namespace bridge {

// --- Directories and files --------------------------------------------------

// Makes sure this one directory exists; its parent must already exist.
void EnsureDir(std::string_view path);
// <KATALOG>/Download/<device padded to 8>, created level by level.
std::string DownloadDir();
// <KATALOG>/Upload/<device padded to 8>.
std::string UploadDir();
// The same two paths, without making the directories.
std::string DownloadDirPath();
std::string UploadDirPath();
// <program directory>/<device>/Import.
std::string ImportDir();
// The same path, without making the directory.
std::string ImportDirPath();
// <program directory>/<device>/Eksport.
std::string ExportDir();
// The path without one final delimiter, if it has one.
std::string ExcludeTrailingBackslash(std::string_view path);
// "0" in front until the name has at least 8 characters.
std::string PadDeviceName(std::string_view name);
// Whether a file is copied into its backup folder before it is overwritten
// or deleted.
enum class TBackups { kOff, kOn };
// kOn when parameter BACKUP, trimmed, is exactly "1".
TBackups BackupsInForce();
// Copies the file into <its directory>/backup/yyyy_mm_dd-hh_nn_ss/ when
// backups are on, under its own name or the name given, and makes the copy
// durable.
void BackupFile(std::string_view path, TDateTime timestamp, TBackups backups,
                std::string_view name = {});
// The same under the rule in force.
void BackupFile(std::string_view path, TDateTime timestamp,
                std::string_view name = {});

// --- Messages ---------------------------------------------------------------

void ShowError(std::string_view text);
bool AskYesNo(std::string_view text);

// --- Conversions ------------------------------------------------------------

// The kinds of value a host file field holds, by the type word of its
// definition line.
enum TTextFieldType : std::int32_t {
  kTextNoType = 0,  // a word that names no kind
  kTextString = 1,
  kTextDateTime = 2,
  kTextInteger = 3,
  kTextCurrency = 4,
  kTextBoolean = 5,
};

// The kind that the word, trimmed and in any case, names: STRING,
// TDATETIME, INTEGER, CURRENCY or BOOLEAN; kTextNoType for anything else.
TTextFieldType TextFieldTypeOf(std::string_view word);
bool IsIntegerText(std::string_view text);
std::string DropTrailingCaret(std::string_view text);
std::uint16_t ReadU16LE(const unsigned char* bytes);
std::int32_t ReadU32LE(const unsigned char* bytes);
void WriteU16LE(unsigned char* bytes, std::uint16_t value);
void WriteU32LE(unsigned char* bytes, std::uint32_t value);
// The same calendar day, whatever the time of day.
bool SameDay(TDateTime a, TDateTime b);
// Both numbers give the same text with three decimals.
bool SameAt3Decimals(double a, double b);
std::int32_t StrToIntOrZero(std::string_view text);
// Accepts "." and the system decimal separator; 0 when not a number.
double StrToFloatOrZero(std::string_view text);
// "1", "T" or "Y", upper-cased but not trimmed.
bool IsYes(std::string_view text);
// To two or three decimals, rounding half away from zero, after a nudge
// away from zero (see Uglobal.cpp).
double Round2(double x);
double Round3(double x);
// Line n (from 1) of a text whose lines are separated by "^", as a piece of
// the text itself; a last line of blanks counts as none.
std::string_view CaretPart(std::string_view text, int n);
std::string BeforeDash(std::string_view text);
std::string HostToDeviceDocType(std::string_view text);
std::string DeviceToHostDocType(std::string_view text);
std::string ComposeAddress(std::string_view street, std::string_view town,
                           std::string_view postTown, std::string_view houseNo,
                           std::string_view flatNo);
std::string JoinWithBlank(std::string_view first, std::string_view second);
bool IsTrimmedInteger(std::string_view text);
bool IsTrimmedFloat(std::string_view text);

// Fixed decimals with the system decimal separator, as patterns such as
// "0.00" format.
std::string FormatWithSystemSeparator(double value, int decimals);
char SystemDecimalSeparator();

}  // namespace bridge
