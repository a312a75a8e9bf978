#include "fuzz_support.h"

#include <stdlib.h>

#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <vector>

namespace tarvek::fuzz {

void fail(std::string_view what, std::string_view detail) {
  std::fprintf(stderr, "fuzz check failed: %.*s\n", static_cast<int>(what.size()), what.data());
  if (!detail.empty()) {
    const std::string shown = printable(detail.substr(0, 4000));
    std::fprintf(stderr, "%s\n", shown.c_str());
  }
  std::abort();
}

std::string printable(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string shown;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 0x20 && byte < 0x7f) || byte == '\n') {
      shown.push_back(c);
    } else {
      shown += "\\x";
      shown.push_back(kHex[byte >> 4]);
      shown.push_back(kHex[byte & 15]);
    }
  }
  return shown;
}

uint64_t ByteReader::take(int bytes) {
  assert(bytes >= 1 && bytes <= 8);
  uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) {
    const uint64_t byte = used_ < size_ ? data_[used_] : 0;
    ++used_;
    value |= byte << (8 * i);
  }
  return value;
}

int64_t ByteReader::in_range(int64_t lowest, int64_t highest) {
  assert(lowest <= highest);
  const uint64_t span = static_cast<uint64_t>(highest) - static_cast<uint64_t>(lowest);
  int bytes = 1;
  while (bytes < 8 && (span >> (8 * bytes)) != 0) ++bytes;
  const uint64_t drawn = take(bytes);
  const uint64_t offset = span == UINT64_MAX ? drawn : drawn % (span + 1);
  return static_cast<int64_t>(static_cast<uint64_t>(lowest) + offset);
}

UploadSandbox& UploadSandbox::instance() {
  static UploadSandbox sandbox;
  return sandbox;
}

UploadSandbox::UploadSandbox() {
  // A memory file system when there is one: creating and deleting a file per input on a disk
  // file system costs more than the rest of a multipart run together.
  std::error_code error;
  std::vector<std::filesystem::path> bases = {"/dev/shm"};
  const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
  if (!error) bases.push_back(temporary);
  for (const std::filesystem::path& base : bases) {
    std::string pattern = (base / "tarvek-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) {
      root_ = pattern;
      break;
    }
  }
  if (root_.empty()) fail("cannot make the upload sandbox");
  uploads_ = (root_ / "uploads").string();
  if (!std::filesystem::create_directory(uploads_, error) || error) {
    fail("cannot make the uploads folder", uploads_);
  }
}

UploadSandbox::~UploadSandbox() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

void UploadSandbox::sweep(std::size_t body_bytes) {
  namespace fs = std::filesystem;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(root_, error)) {
    if (entry.path().filename() != "uploads" || !entry.is_directory() || entry.is_symlink()) {
      fail("an upload was written outside the upload folder", entry.path().string());
    }
  }
  if (error) fail("cannot list the upload sandbox", error.message());

  std::vector<fs::path> written;
  std::uintmax_t total = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(uploads_, error)) {
    const std::string name = entry.path().filename().string();
    const fs::file_status status = entry.symlink_status();
    if (!fs::is_regular_file(status)) fail("an upload is not a regular file", name);
    if (name.front() == '.') fail("an upload has a hidden name", name);
    total += entry.file_size();
    written.push_back(entry.path());
  }
  if (error) fail("cannot list the uploads folder", error.message());
  if (total > body_bytes) fail("uploads hold more bytes than the body");
  for (const fs::path& path : written) {
    if (!fs::remove(path, error)) fail("cannot remove an upload", path.string());
  }
}

}  // namespace tarvek::fuzz
