#include "core/Uglobal.h"

#include <charconv>

#include "core/Umessages.h"
#include "core/uKonfig.h"
#include "platform/EBridgeError.h"
#include "platform/Files.h"
#include "platform/System.h"
#include "platform/Text.h"

namespace bridge {
namespace {

constexpr char kDelimiter = platform::kPathDelimiter;

std::string DeviceSidePath(std::string_view side) {
  return ExcludeTrailingBackslash(ConfigFile().GetValue("KATALOG")) +
         kDelimiter + std::string(side) + kDelimiter +
         PadDeviceName(ConfigFile().DeviceName());
}

std::string DeviceSideDir(std::string_view side) {
  EnsureDir(ConfigFile().GetValue("KATALOG"));
  const std::string path = DeviceSidePath(side);
  EnsureDir(platform::ExtractFileDir(path));
  EnsureDir(path);
  return ExcludeTrailingBackslash(path);
}

std::string HostSidePath(std::string_view side) {
  return ExcludeTrailingBackslash(ConfigFile().ExeDir()) + kDelimiter +
         ConfigFile().DeviceName() + kDelimiter + std::string(side);
}

std::string HostSideDir(std::string_view side) {
  const std::string path = HostSidePath(side);
  EnsureDir(platform::ExtractFileDir(path));
  EnsureDir(path);
  return ExcludeTrailingBackslash(path);
}

void MakeBackupDir(const std::string& path) {
  if (!platform::DirectoryExists(path) && !platform::CreateDir(path)) {
    throw EBridgeError(std::string(kCannotMakeDir.view()) + path);
  }
}

}  // namespace

void EnsureDir(std::string_view path) {
  if (Trim(path).empty()) {
    throw EBridgeError(std::string(kNoDirectoryName.view()));
  }
  if (platform::DirectoryExists(path)) return;
  if (!platform::CreateDir(path)) {
    throw EBridgeError(std::string(kCannotCreateDir.view()) +
                       std::string(path));
  }
}

std::string DownloadDir() { return DeviceSideDir("Download"); }
std::string DownloadDirPath() { return DeviceSidePath("Download"); }
std::string UploadDir() { return DeviceSideDir("Upload"); }
std::string UploadDirPath() { return DeviceSidePath("Upload"); }
std::string ImportDir() { return HostSideDir("Import"); }
std::string ImportDirPath() { return HostSidePath("Import"); }
std::string ExportDir() { return HostSideDir("Eksport"); }

std::string ExcludeTrailingBackslash(std::string_view path) {
  if (!path.empty() && platform::IsPathDelimiter(path.back())) {
    path.remove_suffix(1);
  }
  return std::string(path);
}

std::string PadDeviceName(std::string_view name) {
  std::string padded(name);
  if (padded.size() < 8) padded.insert(0, 8 - padded.size(), '0');
  return padded;
}

TBackups BackupsInForce() {
  return Trim(ConfigFile().GetValue("BACKUP")) == "1" ? TBackups::kOn
                                                      : TBackups::kOff;
}

void BackupFile(std::string_view path, TDateTime timestamp,
                std::string_view name) {
  BackupFile(path, timestamp, BackupsInForce(), name);
}

void BackupFile(std::string_view path, TDateTime timestamp, TBackups backups,
                std::string_view name) {
  if (backups == TBackups::kOff) return;
  std::string folder =
      ExcludeTrailingBackslash(platform::ExtractFileDir(path)) + kDelimiter +
      "backup";
  MakeBackupDir(folder);
  folder += kDelimiter + FormatDateTime("yyyy_mm_dd-hh_nn_ss", timestamp);
  MakeBackupDir(folder);
  // The copy is durable before the caller may delete the original.
  int errorCode = 0;
  if (!platform::CopyFileDurably(
          path,
          folder + kDelimiter +
              (name.empty() ? platform::ExtractFileName(path)
                            : std::string(name)),
          errorCode)) {
    throw EBridgeError(std::string(kBackupFailed.view()) + std::string(path) +
                       std::string(kBackupErrorNo.view()) +
                       IntToStr(errorCode));
  }
}

void ShowError(std::string_view text) {
  platform::System().MessageBoxes->ShowError(text);
}

bool AskYesNo(std::string_view text) {
  return platform::System().MessageBoxes->AskYesNo(text);
}

TTextFieldType TextFieldTypeOf(std::string_view word) {
  const std::string normalized = UpperCase(Trim(word));
  if (normalized == "STRING") return kTextString;
  if (normalized == "TDATETIME") return kTextDateTime;
  if (normalized == "INTEGER") return kTextInteger;
  if (normalized == "CURRENCY") return kTextCurrency;
  if (normalized == "BOOLEAN") return kTextBoolean;
  return kTextNoType;
}

bool IsIntegerText(std::string_view text) {
  return ParseInt32(text).has_value();
}

std::string DropTrailingCaret(std::string_view text) {
  if (!text.empty() && text.back() == '^') text.remove_suffix(1);
  return std::string(text);
}

std::uint16_t ReadU16LE(const unsigned char* bytes) {
  return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

std::int32_t ReadU32LE(const unsigned char* bytes) {
  const std::uint32_t value = static_cast<std::uint32_t>(bytes[0]) |
                              (static_cast<std::uint32_t>(bytes[1]) << 8) |
                              (static_cast<std::uint32_t>(bytes[2]) << 16) |
                              (static_cast<std::uint32_t>(bytes[3]) << 24);
  return static_cast<std::int32_t>(value);
}

void WriteU16LE(unsigned char* bytes, std::uint16_t value) {
  bytes[0] = static_cast<unsigned char>(value & 0xFF);
  bytes[1] = static_cast<unsigned char>(value >> 8);
}

void WriteU32LE(unsigned char* bytes, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    bytes[i] = static_cast<unsigned char>((value >> (8 * i)) & 0xFF);
  }
}

bool SameDay(TDateTime a, TDateTime b) {
  const TDateParts x = DecodeDateTime(a);
  const TDateParts y = DecodeDateTime(b);
  return x.Year == y.Year && x.Month == y.Month && x.Day == y.Day;
}

bool SameAt3Decimals(double a, double b) {
  TFixedBuffer x;
  TFixedBuffer y;
  const std::size_t xSize = FormatFixedInto(a, 3, '.', x);
  const std::size_t ySize = FormatFixedInto(b, 3, '.', y);
  return std::string_view(x.data(), xSize) == std::string_view(y.data(), ySize);
}

std::int32_t StrToIntOrZero(std::string_view text) {
  return ParseInt32(Trim(text)).value_or(0);
}

double StrToFloatOrZero(std::string_view text) {
  const char separator = SystemDecimalSeparator();
  std::string local(text);
  const std::size_t point = local.find('.');
  if (point != std::string::npos) local[point] = separator;
  return ParseFloat(Trim(local), separator).value_or(0.0);
}

bool IsYes(std::string_view text) {
  const std::string upper = UpperCase(text);
  return upper == "1" || upper == "T" || upper == "Y";
}

// A price or quantity that the host means as 2.345 arrives as the nearest
// double, which may lie just below the half (2.34499999...), and would round
// down. The nudge away from zero lifts such a value over the half first.
// Below zero the nudge is ten times larger than above it (0.0001 against
// 0.00001 here, 0.00001 against 0.000001 in Round3), so a negative value
// such as -2.34495 rounds to -2.35 where a positive 2.34495 gives 2.34. That
// is deliberate: it is the rounding that the discounts, prices and stock
// levels in the device tables have always carried, and evening it out would
// change the last decimal of negative values written from then on. Zero
// comes back as zero without a sign.
double Round2(double x) {
  return RoundHalfAwayDecimal(x > 0 ? x + 0.00001 : x - 0.0001, 2);
}

double Round3(double x) {
  return RoundHalfAwayDecimal(x > 0 ? x + 0.000001 : x - 0.00001, 3);
}

std::string_view CaretPart(std::string_view text, int n) {
  if (n < 1) return {};
  for (int line = 1;; ++line) {
    const std::size_t caret = text.find('^');
    if (caret == std::string_view::npos) {
      // The last line counts only when it holds more than blanks.
      return line == n && !TrimView(text).empty() ? text : std::string_view();
    }
    if (line == n) return text.substr(0, caret);
    text.remove_prefix(caret + 1);
  }
}

std::string BeforeDash(std::string_view text) {
  return std::string(text.substr(0, text.find('-')));
}

std::string HostToDeviceDocType(std::string_view text) {
  const std::string type = UpperCase(Trim(text));
  if (type == "FA") return "FK";
  if (type == "PAR") return "PA";
  return type;
}

std::string DeviceToHostDocType(std::string_view text) {
  // Runs for every document line: one string, upper-cased where it lies,
  // and the types that the host names otherwise, all of two letters, told
  // apart by their letters as one number.
  std::string type(TrimView(text));
  for (char& c : type) c = UpperCaseChar(c);
  if (type.size() != 2) return type;
  constexpr auto letters = [](std::string_view two) {
    return static_cast<unsigned>(static_cast<unsigned char>(two[0])) << 8 |
           static_cast<unsigned char>(two[1]);
  };
  switch (letters(type)) {
    case letters("FK"):
      return "FA";
    case letters("NO"):
    case letters("NU"):
      return "NOP";
    case letters("PA"):
      return "PAR";
    case letters("DD"):
      return "WZ";
    case letters("ZW"):
      return "ZWWZ";
    default:
      return type;
  }
}

std::string ComposeAddress(std::string_view street, std::string_view town,
                           std::string_view postTown, std::string_view houseNo,
                           std::string_view flatNo) {
  std::string address;
  if (!Trim(street).empty()) {
    if (UpperCase(Trim(town)) != UpperCase(Trim(postTown))) {
      address = std::string(town) + ", " + std::string(street);
    } else {
      address = std::string(street);
    }
  } else {
    address = std::string(town);
  }
  if (!Trim(houseNo).empty()) {
    address += " " + std::string(houseNo);
    if (!Trim(flatNo).empty()) address += "/" + std::string(flatNo);
  }
  return address;
}

std::string JoinWithBlank(std::string_view first, std::string_view second) {
  if (Trim(second).empty()) return std::string(first);
  return std::string(first) + " " + std::string(second);
}

bool IsTrimmedInteger(std::string_view text) {
  return ParseInt32(Trim(text)).has_value();
}

bool IsTrimmedFloat(std::string_view text) {
  return ParseFloat(Trim(text), SystemDecimalSeparator()).has_value();
}

std::string FormatWithSystemSeparator(double value, int decimals) {
  return FormatFixed(value, decimals, SystemDecimalSeparator());
}

char SystemDecimalSeparator() { return platform::System().DecimalSeparator; }

}  // namespace bridge
