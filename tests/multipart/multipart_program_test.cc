#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "form/request_source.h"
#include "page_time.h"
#include "program_runner.h"

namespace tarvek {
namespace {

namespace fs = std::filesystem;

const std::string kBoundary = "----tarvekFormBoundaryq7Zr0";
const std::string kWindowsAgent = "Mozilla/5.0 (Windows NT 10.0; Win64; x64)";
const std::string kQuery = "Const=10&Bits=8&ConstErr=0&Acc=ACC&Temp=TEMP&endian=big";

std::string part(const std::string& name, const std::string& value) {
  return "--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" +
         value + "\r\n";
}

std::string file_part(const std::string& name, const std::string& file_name,
                      const std::string& content) {
  return "--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"" + name +
         "\"; filename=\"" + file_name + "\"\r\nContent-Type: text/plain\r\n\r\n" + content +
         "\r\n";
}

// The generator's six fields as a browser posts them, with `more` parts after them.
std::string six_fields_body(const std::string& more = "") {
  return part("Const", "10") + part("Bits", "8") + part("ConstErr", "0") + part("Acc", "ACC") +
         part("Temp", "TEMP") + part("endian", "big") + more + "--" + kBoundary + "--\r\n";
}

ProgramRun post_multipart(const std::string& body) {
  return run_program(TARVEK_PROGRAM,
                     {"REQUEST_METHOD=POST", "CONTENT_LENGTH=" + std::to_string(body.size()),
                      "CONTENT_TYPE=multipart/form-data; boundary=" + kBoundary,
                      "HTTP_USER_AGENT=" + kWindowsAgent},
                     body);
}

ProgramRun get_six_fields() {
  return run_program(TARVEK_PROGRAM, {"REQUEST_METHOD=GET", "QUERY_STRING=" + kQuery}, "");
}

// The GET page of the six fields with its time masked; checked to be a generated page, so
// that comparing another page with it means something.
std::string get_page() {
  const ProgramRun run = get_six_fields();
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  const std::string page = without_time(run.out);
  EXPECT_NE(page.find("<PRE>\n"), std::string::npos);
  EXPECT_NE(page.find("; <time>\n GMT<BR>\n"), std::string::npos);
  return page;
}

// Names for files the program writes under /tmp: unique to this run, and every path handed
// out is removed when the object goes.
class ScratchNames {
 public:
  ScratchNames() {
    std::random_device random;
    prefix_ = "tarvek-mp-test-" + std::to_string(getpid()) + "-" + std::to_string(random()) + "-";
  }
  ~ScratchNames() {
    for (const fs::path& path : paths_) {
      std::error_code ignored;
      fs::remove(path, ignored);
    }
  }
  ScratchNames(const ScratchNames&) = delete;
  ScratchNames& operator=(const ScratchNames&) = delete;

  // A fresh file name; the same name directly in /tmp and in / is cleaned up.
  std::string make(const std::string& stem) {
    const std::string name = prefix_ + stem;
    paths_.push_back(fs::path("/tmp") / name);
    paths_.push_back(fs::path("/") / name);
    return name;
  }

 private:
  std::string prefix_;
  std::vector<fs::path> paths_;
};

std::string read_file(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(MultipartProgramTest, SixFieldsGiveTheGetPage) {
  const std::string expected = get_page();
  const ProgramRun run = post_multipart(six_fields_body());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(without_time(run.out), expected);
}

TEST(MultipartProgramTest, UploadsLandInTmpOnly) {
  ScratchNames names;
  const std::string windows = names.make("windows.txt");
  const std::string climbing = names.make("climbing.txt");
  const std::string content("first line\r\nsecond line\n\0end", 28);
  const std::string expected = get_page();
  const ProgramRun run =
      post_multipart(six_fields_body(file_part("a", "C:\\Users\\me\\" + windows, content) +
                                     file_part("b", "../" + climbing, "up")));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(without_time(run.out), expected);
  EXPECT_EQ(read_file(fs::path("/tmp") / windows), content);
  EXPECT_EQ(read_file(fs::path("/tmp") / climbing), "up");
  EXPECT_FALSE(fs::exists(fs::path("/") / climbing));
}

TEST(MultipartProgramTest, BodyOverTheLimitStopsAndRemovesTheUpload) {
  ScratchNames names;
  const std::string big = names.make("big.txt");
  const std::string expected = get_page();
  const ProgramRun run =
      post_multipart(six_fields_body(file_part("a", big, std::string(kMaxBodyBytes, 'x'))));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "caught by tarvek: multipart body > 1048576\n");
  // Only the page start, printed before the request is read, stays.
  EXPECT_EQ(run.out, expected.substr(0, expected.find("<body>\n") + 7));
  EXPECT_FALSE(fs::exists(fs::path("/tmp") / big));
}

}  // namespace
}  // namespace tarvek
