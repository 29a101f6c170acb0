// The catalogue of a device's 70 working parameters and the per-device
// configuration file that holds their values.
//
// Each device has a directory below the program directory with its own copy
// of "<program base name>.cfg"; the copy beside the executable is the
// template that seeds new devices. Values live in the section "MAIN".
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/IniFile.h"
#include "core/Ulist_template.h"

namespace bridge {

class TControl;

struct TRecParam {
  std::string Key;  // trimmed and upper-cased
  std::string Description;
  std::string Value;
};

struct TComboItem {
  std::string Key;
  std::string Items;  // the admissible entries joined by ";"
};

// Trims and upper-cases a key as every lookup does.
std::string NormalizeKey(std::string_view key);

class TRecParams {
 public:
  // Builds both lists completely, every value at its default.
  TRecParams();

  void Add(std::string_view key, std::string_view description,
           std::string_view defaultValue);
  // Does nothing when a list with the same key is already there.
  void AddChoiceList(std::string_view key, std::string_view items);

  std::size_t Count() const { return FParams.Count(); }
  // The parameter at a position, or nullptr at or beyond the count.
  TRecParam* Item(std::size_t index) const { return FParams.Item(index); }
  const TListTemplate<TComboItem>& ChoiceLists() const { return FChoices; }

  TRecParam* Find(std::string_view key) const;
  // Raises "Nie znaleziono wartości o kodzie " + key for an unknown key.
  TRecParam& Get(std::string_view key) const;
  void ResetToDefaults();
  // The description a caption "<KEY>" stands for, or the empty text.
  std::string PlaceholderText(std::string_view caption) const;

 private:
  TListTemplate<TRecParam> FParams;
  TListTemplate<TComboItem> FChoices;
  std::unordered_map<std::string, std::size_t> FIndex;
};

// Writes the catalogue's defaults into section "MAIN" of the file at path,
// creating it when needed.
void WriteDefaults(std::string_view path);

// "KEY" of a hint "<KEY>": the hint without its first and last characters
// when it is longer than 2 characters, otherwise the empty text.
std::string KeyFromHint(std::string_view hint);

// The device name that Open binds to: trimmed, without a leading "KU:".
std::string NormalDeviceName(std::string_view deviceName);
// Whether a device name can serve as one directory name: none of "/", "\",
// ":", the other characters no file name may hold, control characters, nor
// "." or "..". Nor a name that Windows reserves for a device (CON, PRN, AUX,
// NUL, COM1 to COM9, LPT1 to LPT9, in any case, with an extension or not) or
// alters (a final dot or blank), on every system. The empty name is valid.
bool IsValidDeviceName(std::string_view name);

class TConfigFile {
 public:
  // The program directory and configuration file name from the running
  // executable, then Open with the device named on the command line.
  TConfigFile();
  // kOpen opens the device as Open does; kInspect only looks, as Inspect.
  enum class TAccess { kOpen, kInspect };
  // The same for an executable at exePath and the given device.
  TConfigFile(std::string_view exePath, std::string_view deviceName,
              TAccess access = TAccess::kOpen);

  // Binds to the device's file, creating its directory and the file from the
  // template when needed, loads the values and writes all 70 back.
  void Open(std::string_view deviceName);
  // Loads the values that the device's next job would use: its file's, the
  // template's before its first job, or the defaults. Creates and writes
  // nothing and binds no file. Refuses an invalid name as Open does.
  void Inspect(std::string_view deviceName);
  // Writes every value to the open file; nothing for the empty device name
  // or when no file is bound.
  void Save();
  // Removes what writes of the template and of the device's file left
  // behind in processes that ended before they finished.
  void RemoveAbandonedTemporaries() const;
  std::string GetValue(std::string_view key) const;
  void SetValue(std::string_view key, std::string_view value);

  // The editor's walks over the child controls of a container, depth first
  // into every control that holds children. An edit or check box takes its
  // parameter's key from its hint "<KEY>".
  //
  // Edits show the parameter's value (empty for an unknown key); check boxes
  // are checked when it reads as yes.
  void LoadControls(TControl& container) const;
  // Edits store their text as typed, check boxes "1" or "0". Raises
  // "Nie znaleziono wartości o kodzie " + key for a hint naming no parameter.
  void StoreControls(const TControl& container);
  // Labels and check boxes whose caption is "<KEY>" take the parameter's
  // description; every other caption stays.
  void ApplyCaptions(TControl& container) const;

  const std::string& DeviceName() const { return FDeviceName; }
  const std::string& FileName() const { return FFileName; }
  const std::string& ExeDir() const { return FExeDir; }
  const std::string& CfgName() const { return FCfgName; }
  const std::string& Section() const { return FSection; }
  bool IsBound() const { return FIniFile != nullptr; }
  TRecParams& Params() { return *FParams; }
  const TRecParams& Params() const { return *FParams; }

 private:
  void WriteAll();
  // Checks and keeps the device name; gives the device's file.
  std::string BindName(std::string_view deviceName);
  void LoadValues(const TIniFile& file);

  std::unique_ptr<TIniFile> FIniFile;
  std::unique_ptr<TRecParams> FParams;
  std::string FFileName;
  std::string FExeDir;
  std::string FCfgName;
  std::string FSection = "MAIN";
  std::string FDeviceName;
};

// The one process-wide configuration. Call CreateConfigFile (or
// SetConfigFile in tests) first.
TConfigFile& ConfigFile();
// Creates the configuration for the command-line device, as start-up does.
void CreateConfigFile();
// Installs a configuration and gives back the one it replaces.
std::unique_ptr<TConfigFile> SetConfigFile(std::unique_ptr<TConfigFile> file);

}  // namespace bridge
