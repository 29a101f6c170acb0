// forbook-bench-floor: the least a job's work can cost on this machine. It
// reads the job's input files, maps every byte through a table (as a code
// page conversion does), and writes as many bytes as the job writes into
// each of its output files, which it then flushes to the disk and renames
// into place, as the job does:
//
//   forbook-bench-floor --out PATH=BYTES [--out PATH=BYTES ...] -- INPUT...
//
// The output's bytes are the mapped input again and again. bench/run times
// it beside each job; the ratio of the two says how far the job is from
// what the machine allows.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::size_t kChunk = std::size_t{1} << 20;

struct TOutput {
  std::string Path;
  std::uint64_t Bytes = 0;
};

[[noreturn]] void Fail(const std::string& what) {
  std::perror(what.c_str());
  std::exit(1);
}

// Reads every input through the map, keeping the first chunk of mapped
// bytes to write the outputs from.
std::string ReadAndMap(const std::vector<std::string>& inputs) {
  std::array<unsigned char, 256> map{};
  for (std::size_t i = 0; i < map.size(); ++i) {
    map[i] = static_cast<unsigned char>(i < 0x80 ? i : 0xFF - (i - 0x80));
  }
  std::string kept;
  std::string chunk(kChunk, '\0');
  unsigned sum = 0;
  for (const std::string& input : inputs) {
    const int fd = ::open(input.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) Fail(input);
    for (;;) {
      const ssize_t got = ::read(fd, chunk.data(), chunk.size());
      if (got < 0) Fail(input);
      if (got == 0) break;
      for (ssize_t i = 0; i < got; ++i) {
        auto& c = reinterpret_cast<unsigned char&>(
            chunk[static_cast<std::size_t>(i)]);
        c = map[c];
        sum += c;
      }
      if (kept.size() < kChunk) {
        kept.append(chunk.data(), std::min(kChunk - kept.size(),
                                           static_cast<std::size_t>(got)));
      }
    }
    ::close(fd);
  }
  if (kept.empty()) kept.assign(1, static_cast<char>(sum));
  return kept;
}

void Write(const TOutput& output, const std::string& bytes) {
  const std::string temporary = output.Path + ".floor.tmp";
  const int fd =
      ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) Fail(temporary);
  std::string block;
  while (block.size() < kChunk) block += bytes;
  block.resize(kChunk);
  for (std::uint64_t left = output.Bytes; left > 0;) {
    const std::size_t size =
        static_cast<std::size_t>(std::min<std::uint64_t>(left, block.size()));
    if (::write(fd, block.data(), size) != static_cast<ssize_t>(size)) {
      Fail(temporary);
    }
    left -= size;
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) Fail(temporary);
  if (::rename(temporary.c_str(), output.Path.c_str()) != 0) Fail(output.Path);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<TOutput> outputs;
  std::vector<std::string> inputs;
  bool inInputs = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (inInputs) {
      inputs.emplace_back(arg);
    } else if (arg == "--") {
      inInputs = true;
    } else if (arg == "--out" && i + 1 < argc) {
      const std::string_view pathAndSize = argv[++i];
      const std::size_t equals = pathAndSize.rfind('=');
      TOutput output;
      if (equals == std::string_view::npos ||
          std::from_chars(pathAndSize.data() + equals + 1,
                          pathAndSize.data() + pathAndSize.size(), output.Bytes)
                  .ec != std::errc()) {
        std::fprintf(stderr, "forbook-bench-floor: --out PATH=BYTES\n");
        return 2;
      }
      output.Path = std::string(pathAndSize.substr(0, equals));
      outputs.push_back(std::move(output));
    } else {
      std::fprintf(stderr,
                   "usage: forbook-bench-floor --out PATH=BYTES ... -- "
                   "INPUT...\n");
      return 2;
    }
  }
  const std::string bytes = ReadAndMap(inputs);
  for (const TOutput& output : outputs) Write(output, bytes);
  // The directory of the outputs, as the job flushes its own.
  if (!outputs.empty()) {
    const std::string& path = outputs.front().Path;
    const std::size_t slash = path.rfind('/');
    const std::string directory =
        slash == std::string::npos ? "." : path.substr(0, slash);
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0 || ::fsync(fd) != 0) Fail(directory);
    ::close(fd);
  }
  return 0;
}
