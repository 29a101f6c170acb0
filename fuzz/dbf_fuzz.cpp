// Reads arbitrary bytes as a device table: every record, every field with
// every getter, and writes what it read into a table of the same fields.
// Only the engine's own errors may come out; nothing may read or write past
// a buffer or the file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "dbf/uDBF.h"
#include "platform/EBridgeError.h"
#include "platform/Files.h"

namespace {

using bridge::EBridgeError;
using bridge::TDBF;
using bridge::TDBFFieldDef;
using bridge::TDBFRecord;
namespace platform = bridge::platform;

std::string ScratchPath(const char* suffix) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") +
         "/dbf_fuzz_" + std::to_string(::getpid()) + suffix;
}

// Writes one record of a table with the fields just read, filled from the
// record read, so that the setters meet every length and decimals a header
// can hold, and a float taken from the raw input.
void WriteLike(const TDBF& source, const TDBFRecord& read, double raw) {
  const std::string path = ScratchPath("_out.dbf");
  try {
    TDBF table;
    for (const auto& field : source.Fields()) {
      table.AddField(field->Name(), field->FieldType(), field->Length(),
                     field->Decimals());
    }
    if (!table.CreateTable(path)) return;
    TDBFRecord* record = table.NewRecord();
    if (record == nullptr) return;
    for (const auto& field : table.Fields()) {
      const TDBFFieldDef& readField = *source.FindField(field->Name());
      record->SetInteger(*field, read.GetInteger(readField));
      record->SetDate(*field, read.GetDate(readField));
      record->SetBoolean(*field, read.GetBoolean(readField));
      record->SetFloat(*field, raw);
      record->SetFloat(*field, read.GetFloat(readField));
      record->SetString(field->Name(), read.GetString(readField));
    }
    static_cast<void>(table.AppendRecord(*record));
    static_cast<void>(table.Close());
  } catch (const EBridgeError&) {
  }
  static_cast<void>(platform::RemoveFile(path));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  double raw = 0;
  if (size >= sizeof raw)
    std::memcpy(&raw, data + size - sizeof raw, sizeof raw);
  try {
    TDBF table;
    // Read from memory: no file system round trip per input.
    if (table.Open(platform::TFile::FromBytes(
            "in.dbf",
            std::string(reinterpret_cast<const char*>(data), size)))) {
      bool written = false;
      for (; !table.Eof(); table.Next()) {
        const TDBFRecord* record = table.ReadRecord();
        if (record == nullptr) break;
        record->IsDeleted();
        for (const auto& field : table.Fields()) {
          record->GetString(field->Name());
          record->GetInteger(*field);
          record->GetFloat(*field);
          record->GetBoolean(*field);
          record->GetDate(*field);
        }
        if (!written) {
          WriteLike(table, *record, raw);
          written = true;
        }
      }
      static_cast<void>(table.Close());
    }
  } catch (const EBridgeError&) {
  }
  return 0;
}
