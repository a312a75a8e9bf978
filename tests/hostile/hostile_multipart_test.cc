// Hostile multipart requests against the built program: bodies without a boundary, cut in
// the middle of a part, oversized, and uploads whose names aim outside "/tmp". The program
// writes uploads into "/tmp" itself, so the upload cases use names unique to this test run,
// check every place a name could lead to, and remove what landed in "/tmp" afterwards.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "expected_page.h"
#include "program_runner.h"

namespace tarvek {
namespace {

namespace fs = std::filesystem;

struct Part {
  std::string name;
  std::string content;
  // Set for a file part.
  std::optional<std::string> file_name = std::nullopt;
};

// A body as a browser sends it, with CRLF line ends and the closing boundary line.
std::string multipart_body(const std::string& boundary, const std::vector<Part>& parts) {
  std::string body;
  for (const Part& part : parts) {
    body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + part.name + "\"";
    if (part.file_name) {
      body += "; filename=\"" + *part.file_name + "\"\r\nContent-Type: text/plain";
    }
    body += "\r\n\r\n" + part.content + "\r\n";
  }
  return body + "--" + boundary + "--\r\n";
}

const std::vector<Part> kValidParts = {{"Const", "10"}, {"Bits", "8"},    {"ConstErr", "0"},
                                       {"Acc", "ACC"},  {"Temp", "TEMP"}, {"endian", "big"}};

std::vector<std::string> multipart_env(const std::string& content_type, std::size_t length,
                                       const std::string& user_agent = "curl/7.88.1") {
  return {"REQUEST_METHOD=POST", "CONTENT_TYPE=" + content_type,
          "CONTENT_LENGTH=" + std::to_string(length), "HTTP_USER_AGENT=" + user_agent};
}

ProgramLimits limits() {
  ProgramLimits bounds;
  bounds.seconds = 20;
#ifndef TARVEK_SANITIZE_BUILD
  bounds.memory_bytes = 256ul << 20;
#endif
  return bounds;
}

ProgramRun run(const std::vector<std::string>& environment, const std::string& body) {
  return run_program(TARVEK_PROGRAM, environment, body, limits());
}

struct Case {
  std::string name;
  std::string content_type;
  std::string body;
  // The routine page of the default valid form when unset, else this error page.
  int error_code = 0;
};

TEST(HostileMultipartTest, MalformedBodies) {
  const std::string valid = multipart_body("B0undary", kValidParts);
  // Everything up to the value of the last part, which is cut after "bi".
  const std::string cut_in_value = valid.substr(0, valid.rfind("big") + 2);
  // Cut inside the header line of the Temp part: Temp never gets a value.
  const std::string cut_in_header = valid.substr(0, valid.find("name=\"Temp\"") + 8);
  std::string short_header = valid;
  short_header.replace(short_header.find("Content-Disposition: form-data; name=\"Acc\""), 42,
                       "Content-Disp");
  const Case cases[] = {
      {"no boundary in the content type", "multipart/form-data", valid, 3},
      {"an empty boundary", "multipart/form-data; boundary=", valid, 3},
      {"a boundary that the body never holds", "multipart/form-data; boundary=Other", valid, 3},
      {"cut in the middle of the last value: the rest counts",
       "multipart/form-data; boundary=B0undary", cut_in_value, 0},
      {"cut inside a header line", "multipart/form-data; boundary=B0undary", cut_in_header, 4},
      {"a header line shorter than the disposition prefix",
       "multipart/form-data; boundary=B0undary", short_header, 3},
      {"data after the closing boundary is not read", "multipart/form-data; boundary=B0undary",
       valid + multipart_body("B0undary", {{"Bits", "99"}}), 0},
      {"a body that is not multipart at all", "multipart/form-data; boundary=B0undary",
       "Const=10&Bits=8&Acc=ACC&Temp=TEMP", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ProgramRun result = run(multipart_env(c.content_type, c.body.size()), c.body);
    ASSERT_EQ(result.signal, 0);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    if (c.error_code == 0) {
      EXPECT_EQ(without_time(result.out), routine_page(ValidForm{}));
    } else {
      EXPECT_EQ(result.out, error_page(c.error_code));
    }
  }
}

TEST(HostileMultipartTest, BodyOverTheLimitStops) {
  std::vector<Part> parts = kValidParts;
  parts.push_back({"Padding", std::string(1100000, 'p')});
  const std::string body = multipart_body("B0undary", parts);
  const ProgramRun result =
      run(multipart_env("multipart/form-data; boundary=B0undary", body.size()), body);
  ASSERT_EQ(result.signal, 0);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, page_start());
  EXPECT_EQ(result.err, "caught by tarvek: multipart body > 1048576\n");
}

// Removes, when the test ends however it ends, every file this test may have left in /tmp.
class TmpLeftovers {
 public:
  explicit TmpLeftovers(std::vector<fs::path> paths) : paths_(std::move(paths)) {}
  ~TmpLeftovers() {
    std::error_code ignored;
    for (const fs::path& path : paths_) fs::remove_all(path, ignored);
  }
  TmpLeftovers(const TmpLeftovers&) = delete;
  TmpLeftovers& operator=(const TmpLeftovers&) = delete;

 private:
  std::vector<fs::path> paths_;
};

std::string file_text(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// Every place outside /tmp that a name aimed there could reach from /tmp or from the
// program's working folder.
std::vector<fs::path> places_outside_tmp(const std::string& name) {
  return {fs::path("/") / name, fs::path("/etc") / name, fs::path("/var/tmp") / name,
          fs::current_path() / name, fs::current_path().parent_path() / name};
}

TEST(HostileMultipartTest, UploadNamesAimedOutsideTmp) {
  const std::string tag = "tarvek-hostile-" + std::to_string(getpid()) + "-";
  struct Upload {
    std::string label;
    std::string sent;
    // Where the upload must land under /tmp; empty when it must not be written at all.
    std::string stored;
    std::string user_agent = "curl/7.88.1";
  };
  const std::vector<Upload> uploads = {
      {"parent folders", "../../../../etc/" + tag + "a", tag + "a"},
      {"an absolute path through /tmp/..", "/tmp/../" + tag + "b", tag + "b"},
      {"a Windows path from a Windows browser", "..\\..\\Windows\\" + tag + "c", tag + "c",
       "Mozilla/5.0 (Windows NT 10.0; Win64; x64)"},
      {"folders that climb back", "sub/dir/../../" + tag + "d", tag + "d"},
      {"backslashes from another browser start the name with a dot", "..\\" + tag + "e", ""},
      {"two dots", "..", ""},
      {"one dot", ".", ""},
      {"a hidden name", "." + tag + "f", ""},
      {"an empty name", "", ""},
      {"a trailing slash", "/tmp/", ""},
  };
  std::vector<fs::path> leftovers;
  for (const char suffix : std::string("abcdef")) {
    leftovers.push_back(fs::path("/tmp") / (tag + suffix));
    leftovers.push_back(fs::path("/tmp") / ("." + tag + suffix));
    leftovers.push_back(fs::path("/tmp") / ("..\\" + tag + suffix));
  }
  const TmpLeftovers cleanup(leftovers);

  for (const Upload& upload : uploads) {
    SCOPED_TRACE(upload.label);
    const std::string content = "upload content of " + upload.label + "\r\nsecond line";
    std::vector<Part> parts = kValidParts;
    parts.push_back({"File", content, upload.sent});
    const std::string body = multipart_body("B0undary", parts);
    const ProgramRun result =
        run(multipart_env("multipart/form-data; boundary=B0undary", body.size(), upload.user_agent),
            body);
    ASSERT_EQ(result.signal, 0);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(without_time(result.out), routine_page(ValidForm{}));
    if (!upload.stored.empty()) {
      const fs::path stored = fs::path("/tmp") / upload.stored;
      EXPECT_EQ(file_text(stored), content);
      for (const fs::path& outside : places_outside_tmp(upload.stored)) {
        EXPECT_FALSE(fs::exists(fs::symlink_status(outside))) << outside;
      }
    }
  }
  // Nothing but the expected uploads appeared: the refused names left no file anywhere.
  for (const char suffix : std::string("ef")) {
    for (const fs::path& place : places_outside_tmp(tag + suffix)) {
      EXPECT_FALSE(fs::exists(fs::symlink_status(place))) << place;
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(fs::path("/tmp") / (tag + suffix))));
    EXPECT_FALSE(fs::exists(fs::symlink_status(fs::path("/tmp") / ("." + tag + suffix))));
    EXPECT_FALSE(fs::exists(fs::symlink_status(fs::path("/tmp") / ("..\\" + tag + suffix))));
  }
}

TEST(HostileMultipartTest, UploadDoesNotFollowALinkPlantedInTmp) {
  const std::string name = "tarvek-hostile-" + std::to_string(getpid()) + "-link";
  const fs::path link = fs::path("/tmp") / name;
  const fs::path target = fs::temp_directory_path() / (name + "-target");
  const TmpLeftovers cleanup({link, target});
  std::ofstream(target) << "kept";
  fs::create_symlink(target, link);

  std::vector<Part> parts = kValidParts;
  parts.push_back({"File", "overwritten", name});
  const std::string body = multipart_body("B0undary", parts);
  const ProgramRun result =
      run(multipart_env("multipart/form-data; boundary=B0undary", body.size()), body);
  ASSERT_EQ(result.signal, 0);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(without_time(result.out), routine_page(ValidForm{}));
  EXPECT_EQ(file_text(target), "kept");
  EXPECT_TRUE(fs::is_symlink(link));
}

}  // namespace
}  // namespace tarvek
