// What the benchmark's data generators share: a seeded random source, text
// in the program's code page, and small command-line and directory helpers.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Cp1250.h"
#include "platform/Files.h"

namespace bridge::bench {

namespace platform = bridge::platform;

// Random numbers: splitmix64, seeded from the seed text and the name of
// the file being made, so each file is the same whatever else is made.
class TRandom {
 public:
  TRandom(std::string_view seed, std::string_view stream) {
    std::uint64_t hash = 14695981039346656037ULL;  // FNV-1a
    for (const char c : seed) {
      hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    hash = (hash ^ 0xFFU) * 1099511628211ULL;
    for (const char c : stream) {
      hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    FState = hash;
  }
  std::uint64_t Next() {
    std::uint64_t z = (FState += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // 0 <= result < bound; bound > 0.
  std::uint64_t Below(std::uint64_t bound) { return Next() % bound; }
  std::int64_t Between(std::int64_t low, std::int64_t high) {
    return low + static_cast<std::int64_t>(
                     Below(static_cast<std::uint64_t>(high - low + 1)));
  }
  bool Percent(int percent) {
    return Below(100) < static_cast<std::uint64_t>(percent);
  }
  bool PerMille(int perMille) {
    return Below(1000) < static_cast<std::uint64_t>(perMille);
  }
  template <typename T>
  const T& Pick(const std::vector<T>& items) {
    return items[Below(items.size())];
  }

 private:
  std::uint64_t FState;
};

// ---------------------------------------------------------------------------
// Text pieces, written here in UTF-8 and turned into Windows-1250 once.

inline std::vector<std::string> Cp(
    std::initializer_list<std::string_view> utf8) {
  std::vector<std::string> out;
  out.reserve(utf8.size());
  for (const std::string_view s : utf8) {
    out.push_back(platform::Utf8ToCp1250(s));
  }
  return out;
}

inline std::optional<std::int64_t> ParseCount(std::string_view text) {
  if (text.empty() || text.size() > 12) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : text) {
    if (c == '_') continue;
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

// Creates the directory and its missing parents.
inline bool MakeDirectories(const std::string& path) {
  for (std::size_t i = 1; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != platform::kPathDelimiter) continue;
    const std::string prefix = path.substr(0, i);
    if (!platform::DirectoryExists(prefix) && !platform::CreateDir(prefix)) {
      return false;
    }
  }
  return true;
}

}  // namespace bridge::bench
