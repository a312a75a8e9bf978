// What the fuzz targets share: a failed check that stops the fuzzer with a readable message,
// the fixed clock of every run, and a private upload folder for targets that may write
// uploads.
//
// A fuzz target is a function of its input alone, so the clock is fixed and every upload goes
// to a folder of this process that is checked and emptied after each input.
#ifndef TARVEK_FUZZ_FUZZ_SUPPORT_H
#define TARVEK_FUZZ_FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <type_traits>

namespace tarvek::fuzz {

// The stamp's time in every fuzzed run: Tue Mar 21 00:00:00 2000 GMT.
inline constexpr std::time_t kFixedTime = 953596800;

// Prints "fuzz check failed: <what>" and the detail to standard error and aborts, which
// libFuzzer reports as a finding and saves the input for.
[[noreturn]] void fail(std::string_view what, std::string_view detail = {});

// fail(what, detail) unless `ok`.
inline void check(bool ok, std::string_view what, std::string_view detail = {}) {
  if (!ok) fail(what, detail);
}

// The same with a detail that costs something to build: `make_detail()` gives it, and is only
// called when the check fails.
template <typename MakeDetail>
requires std::is_invocable_r_v<std::string, MakeDetail>
void check(bool ok, std::string_view what, MakeDetail make_detail) {
  if (!ok) fail(what, make_detail());
}

// `text` with every byte outside printable ASCII written as \xNN, for messages.
std::string printable(std::string_view text);

// Draws numbers from the front of a fuzz input, one byte at a time (little-endian), with 0
// for every byte past its end, so that every input, the empty one included, decodes.
class ByteReader {
 public:
  ByteReader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  // A number from `bytes` input bytes (1 to 8).
  uint64_t take(int bytes);
  // A number from lowest to highest, both included.
  // Requires: lowest <= highest.
  int64_t in_range(int64_t lowest, int64_t highest);
  bool flag() { return (take(1) & 1) != 0; }

 private:
  const uint8_t* data_;
  std::size_t size_;
  // Bytes taken so far.
  std::size_t used_ = 0;
};

// A folder of this process in /dev/shm (or, without it, the system's temporary folder), holding
// only the folder `uploads()` that readers are given as their upload directory. Made when first
// asked for and removed when the process exits normally.
class UploadSandbox {
 public:
  // The one sandbox of this process. libFuzzer runs every input in the same process, and
  // making a folder per input would cost more than the input itself.
  static UploadSandbox& instance();

  const std::string& uploads() const { return uploads_; }

  // Checks what the last input left behind and removes it: only regular files directly in
  // `uploads()`, none of them hidden, together at most `body_bytes` long, and nothing next to
  // the uploads folder. A failed check is a finding.
  void sweep(std::size_t body_bytes);

  UploadSandbox(const UploadSandbox&) = delete;
  UploadSandbox& operator=(const UploadSandbox&) = delete;

 private:
  UploadSandbox();
  ~UploadSandbox();

  // The sandbox folder itself.
  std::filesystem::path root_;
  // root_/uploads, as the readers get it.
  std::string uploads_;
};

}  // namespace tarvek::fuzz

#endif  // TARVEK_FUZZ_FUZZ_SUPPORT_H
