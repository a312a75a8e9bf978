#include "form/multipart_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace tarvek {
namespace {

namespace fs = std::filesystem;

using Pairs = std::vector<std::pair<std::string, std::string>>;
using Environment = std::map<std::string, std::string>;
// The files of a folder: the content of each regular file, "<dir>", "<link>" or "<other>".
using Listing = std::map<std::string, std::string>;

const std::string kContentType = "multipart/form-data; boundary=xYz12";

std::string read_file(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

Listing listing_of(const fs::path& folder) {
  Listing listing;
  if (!fs::exists(folder)) return listing;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    const fs::file_status status = entry.symlink_status();
    std::string& shown = listing[entry.path().filename().string()];
    if (fs::is_symlink(status)) {
      shown = "<link>";
    } else if (fs::is_directory(status)) {
      shown = "<dir>";
    } else if (fs::is_regular_file(status)) {
      shown = read_file(entry.path());
    } else {
      shown = "<other>";
    }
  }
  return listing;
}

// A private folder with the upload directory "uploads" inside it, so that a file landing
// beside the upload directory shows up in the folder's own listing.
class UploadFolder {
 public:
  UploadFolder() {
    std::string pattern = (fs::temp_directory_path() / "tarvek-mp-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    fs::create_directory(uploads());
  }
  ~UploadFolder() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  UploadFolder(const UploadFolder&) = delete;
  UploadFolder& operator=(const UploadFolder&) = delete;
  const fs::path& root() const { return root_; }
  fs::path uploads() const { return root_ / "uploads"; }

 private:
  fs::path root_;
};

struct MultipartRun {
  Pairs entries;
  int count = 0;
  std::optional<std::string> stop;  // the stop's message, when there was a stop
  std::string rest;                 // the input left unread
};

MultipartRun run_multipart(const Environment& environment, const std::string& body,
                           const fs::path& upload_dir) {
  std::istringstream in(body);
  std::ostringstream err;
  const EnvLookup env = [&environment](const std::string& name) {
    const auto found = environment.find(name);
    return found == environment.end() ? std::nullopt : std::optional<std::string>(found->second);
  };
  const RequestSource source{env, in, err, upload_dir.string()};
  FormEntryList list;
  list.entries.push_back({"stale", "entry"});
  const ReadOutcome outcome = read_multipart(list, source);
  MultipartRun run;
  for (const FormEntry& entry : list.entries) run.entries.emplace_back(entry.name, entry.value);
  run.count = outcome.count;
  if (outcome.stop) run.stop = outcome.stop->message;
  run.rest.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  EXPECT_EQ(err.str(), "");
  return run;
}

Environment posted(const std::string& content_type = kContentType) {
  return {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "100"}, {"CONTENT_TYPE", content_type}};
}

std::string field(const std::string& name, const std::string& value) {
  return "--xYz12\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value +
         "\r\n";
}

std::string file_field(const std::string& name, const std::string& file_name,
                       const std::string& content) {
  return "--xYz12\r\nContent-Disposition: form-data; name=\"" + name + "\"; filename=\"" +
         file_name + "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + content + "\r\n";
}

const std::string kClose = "--xYz12--\r\n";

TEST(ReadMultipartTest, Fields) {
  struct Case {
    const char* name;
    Environment environment;
    std::string body;
    Pairs entries;
    int count;
    std::string rest;
  };
  const std::string two_fields = field("a", "1") + field("b", "2") + kClose;
  const std::string epilogue = "more\r\n" + field("x", "9");
  const Case cases[] = {
      {"value before the boundary", posted(), field("Const", "3.5") + kClose,
       Pairs{{"Const", "3.5"}}, 1, ""},
      {"fields in arrival order", posted(), two_fields, Pairs{{"a", "1"}, {"b", "2"}}, 2, ""},
      {"multi-line value", posted(), field("m", "one\r\ntwo\r\n\r\nend\r\n") + kClose,
       Pairs{{"m", "one\r\ntwo\r\n\r\nend\r\n"}}, 1, ""},
      {"empty part", posted(),
       "--xYz12\r\nContent-Disposition: form-data; name=\"e\"\r\n\r\n--xYz12--\r\n",
       Pairs{{"e", ""}}, 1, ""},
      {"further header lines are skipped", posted(),
       "--xYz12\r\nContent-Disposition: form-data; name=\"a\"\r\nContent-Type: text/plain\r\n"
       "\r\nv\r\n--xYz12--\r\n",
       Pairs{{"a", "v"}}, 1, ""},
      {"bare line feeds", posted(),
       "--xYz12\nContent-Disposition: form-data; name=\"a\"\n\n3.5\n--xYz12--\n",
       Pairs{{"a", "3.5"}}, 1, ""},
      {"boundary text runs to the end of the content type",
       posted("multipart/form-data; boundary=xYz12; charset=utf-8"), two_fields,
       Pairs{{"a",
              "1\r\n--xYz12\r\nContent-Disposition: form-data; name=\"b\"\r\n\r\n2\r\n"
              "--xYz12--"}},
       1, ""},
      {"boundary text with its parameters in the body",
       posted("multipart/form-data; boundary=xYz12; charset=utf-8"),
       "--xYz12; charset=utf-8\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1\r\n"
       "--xYz12; charset=utf-8--\r\n",
       Pairs{{"a", "1"}}, 1, ""},
      {"CONTENT_LENGTH value is not used",
       {{"CONTENT_LENGTH", "3"}, {"CONTENT_TYPE", kContentType}},
       two_fields,
       Pairs{{"a", "1"}, {"b", "2"}},
       2,
       ""},
      {"no CONTENT_LENGTH", {{"CONTENT_TYPE", kContentType}}, two_fields, Pairs{}, 0, two_fields},
      {"GET without CONTENT_LENGTH",
       {{"REQUEST_METHOD", "GET"}, {"QUERY_STRING", "a=1"}, {"CONTENT_TYPE", kContentType}},
       "",
       Pairs{},
       0,
       ""},
      {"no boundary is read as no fields", posted("multipart/form-data"), two_fields, Pairs{}, 0,
       two_fields},
      {"empty boundary is read as no fields", posted("multipart/form-data; boundary="), two_fields,
       Pairs{}, 0, two_fields},
      {"empty body", posted(), "", Pairs{}, 0, ""},
      {"body of the opening line only", posted(), "--xYz12\r\n", Pairs{}, 0, ""},
      {"closing line right after the opening line", posted(), "--xYz12\r\n" + kClose, Pairs{}, 0,
       ""},
      {"data after the closing boundary is not read", posted(), two_fields + epilogue,
       Pairs{{"a", "1"}, {"b", "2"}}, 2, epilogue},
      {"header line shorter than the prefix", posted(),
       "--xYz12\r\nContent-Disposition: form-data\r\n\r\nv\r\n" + kClose, Pairs{{"", "v"}}, 1, ""},
      {"header line of one character", posted(), "--xYz12\r\nX\r\n\r\nv\r\n" + kClose,
       Pairs{{"", "v"}}, 1, ""},
      {"name taken by position", posted(),
       "--xYz12\r\nContent-Disposition: form-data;name=\"ab\"\r\n\r\nv\r\n" + kClose,
       Pairs{{"b", "v"}}, 1, ""},
      {"name without its closing quote", posted(),
       "--xYz12\r\nContent-Disposition: form-data; name=\"ab\r\n\r\nv\r\n" + kClose,
       Pairs{{"ab", "v"}}, 1, ""},
      {"NUL ends a name and a value", posted(),
       field(std::string("a\0b", 3), std::string("1\0002", 3)) + kClose, Pairs{{"a", "1"}}, 1, ""},
      {"body ends inside a value", posted(),
       field("a", "1") + "--xYz12\r\n" +
           "Content-Disposition: form-data; name=\"b\"\r\n\r\n2\r\nmo",
       Pairs{{"a", "1"}, {"b", "2\r\nmo"}}, 2, ""},
      {"body ends after a line end", posted(), field("a", "1") + field("b", "2"),
       Pairs{{"a", "1"}, {"b", "2"}}, 2, ""},
      {"body ends inside the headers", posted(),
       field("a", "1") + "--xYz12\r\nContent-Disposition: form-data; name=\"b\"\r\n",
       Pairs{{"a", "1"}, {"b", ""}}, 2, ""},
  };
  const UploadFolder folder;
  for (const Case& c : cases) {
    const MultipartRun run = run_multipart(c.environment, c.body, folder.uploads());
    EXPECT_EQ(run.entries, c.entries) << c.name;
    EXPECT_EQ(run.count, c.count) << c.name;
    EXPECT_EQ(run.stop, std::nullopt) << c.name;
    EXPECT_EQ(run.rest, c.rest) << c.name;
  }
  EXPECT_EQ(listing_of(folder.root()), (Listing{{"uploads", "<dir>"}}));
  EXPECT_EQ(listing_of(folder.uploads()), Listing{});
}

// Values of every length around one, two and three pieces arrive whole, with nothing of the
// line end before the boundary left in them, even when the piece limit falls between its
// carriage return and its line feed.
TEST(ReadMultipartTest, ValuesAcrossThePieceLimit) {
  const UploadFolder folder;
  for (std::size_t length : {0, 1, 509, 510, 511, 512, 513, 1021, 1022, 1023, 1024, 1500}) {
    const std::string value(length, 'v');
    const MultipartRun run =
        run_multipart(posted(), field("long", value) + field("b", "2") + kClose, folder.uploads());
    EXPECT_EQ(run.entries, (Pairs{{"long", value}, {"b", "2"}})) << length;
    const std::string lines = value + "\r\n" + value + "\r" + value;
    EXPECT_EQ(run_multipart(posted(), field("m", lines) + kClose, folder.uploads()).entries,
              (Pairs{{"m", lines}}))
        << length;
  }
}

TEST(ReadMultipartTest, FileParts) {
  struct Case {
    const char* name;
    std::optional<std::string> user_agent;
    std::string file_name;  // as sent
    std::string value;      // the entry's value
    Listing uploads;
  };
  const std::string content("line\r\nbin\0ary\rend\n", 18);
  const std::string win10 = "Mozilla/5.0 (Windows NT 10.0; Win64; x64)";
  const std::string x11 = "Mozilla/5.0 (X11; Linux x86_64)";
  const Case cases[] = {
      {"plain name", x11, "a.txt", "a.txt", {{"a.txt", content}}},
      {"Windows path from a Windows agent", win10, "D:\\dir\\a.txt", "a.txt", {{"a.txt", content}}},
      {"agent WIN in capitals",
       "SOME WINDOWS AGENT",
       "D:\\dir\\a.txt",
       "a.txt",
       {{"a.txt", content}}},
      {"agent wIn in mixed case", "x-wIn-y", "D:\\dir\\a.txt", "a.txt", {{"a.txt", content}}},
      {"other agent keeps backslashes",
       x11,
       "D:\\dir\\a.txt",
       "D:\\dir\\a.txt",
       {{"D:\\dir\\a.txt", content}}},
      {"no agent keeps backslashes",
       std::nullopt,
       "D:\\dir\\a.txt",
       "D:\\dir\\a.txt",
       {{"D:\\dir\\a.txt", content}}},
      {"Windows agent and no backslash", win10, "a.txt", "a.txt", {{"a.txt", content}}},
      {"dot-dots reduced to the last component",
       x11,
       "../../out.txt",
       "out.txt",
       {{"out.txt", content}}},
      {"absolute path reduced", x11, "/etc/../out.txt", "out.txt", {{"out.txt", content}}},
      {"Windows dot-dots reduced", win10, "..\\..\\out.txt", "out.txt", {{"out.txt", content}}},
      {"slashes from a Windows agent reduced",
       win10,
       "C:/dir/a.txt",
       "a.txt",
       {{"a.txt", content}}},
      {"slash after the last backslash", win10, "a\\b/../c", "c", {{"c", content}}},
      {"dot-dot is not written", x11, "..", "..", {}},
      {"dot-dot as last component", x11, "dir/..", "..", {}},
      {"Windows dot-dot", win10, "x\\..", "..", {}},
      {"dot is not written", x11, ".", ".", {}},
      {"empty name is not written", x11, "", "", {}},
      {"name ending in a slash", x11, "dir/", "", {}},
      {"hidden name is not written", x11, ".profile", ".profile", {}},
      {"backslash dot-dot from another agent", x11, "..\\x", "..\\x", {}},
      {"name without closing quote",
       x11,
       "a.txt\r\nContent-Type: text/plain",
       "a.txt",
       {{"a.txt", content}}},
      {"NUL ends the name", x11, std::string("a.txt\0/../../b", 14), "a.txt", {{"a.txt", content}}},
  };
  for (const Case& c : cases) {
    const UploadFolder folder;
    Environment environment = posted();
    if (c.user_agent) environment["HTTP_USER_AGENT"] = *c.user_agent;
    const std::string body =
        field("a", "1") + file_field("f", c.file_name, content) + field("after", "2") + kClose;
    const MultipartRun run = run_multipart(environment, body, folder.uploads());
    EXPECT_EQ(run.entries, (Pairs{{"a", "1"}, {"f", c.value}, {"after", "2"}})) << c.name;
    EXPECT_EQ(run.count, 3) << c.name;
    EXPECT_EQ(listing_of(folder.uploads()), c.uploads) << c.name;
    EXPECT_EQ(listing_of(folder.root()), (Listing{{"uploads", "<dir>"}})) << c.name;
  }
}

TEST(ReadMultipartTest, UploadIsPrivateAndReplacesAnOlderFile) {
  const UploadFolder folder;
  std::ofstream(folder.uploads() / "a.txt") << "an older and longer content";
  const MultipartRun run = run_multipart(
      posted(), file_field("f", "a.txt", "new") + file_field("g", "b.txt", "") + kClose,
      folder.uploads());
  EXPECT_EQ(run.entries, (Pairs{{"f", "a.txt"}, {"g", "b.txt"}}));
  EXPECT_EQ(listing_of(folder.uploads()), (Listing{{"a.txt", "new"}, {"b.txt", ""}}));
  struct stat status {};
  ASSERT_EQ(stat((folder.uploads() / "b.txt").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0600u);
}

// Things found at the upload path that must not be written through: each upload is dropped,
// its entry and the following field are kept, and nothing else changes.
TEST(ReadMultipartTest, UploadPathsThatAreNotWritten) {
  struct Case {
    const char* name;
    void (*plant)(const fs::path& root);
    Listing root;
    Listing uploads;
  };
  const Case cases[] = {
      {"symlink to a file",
       [](const fs::path& root) {
         std::ofstream(root / "target") << "keep";
         fs::create_symlink(root / "target", root / "uploads" / "a.txt");
       },
       {{"target", "keep"}, {"uploads", "<dir>"}},
       {{"a.txt", "<link>"}}},
      {"dangling symlink",
       [](const fs::path& root) {
         fs::create_symlink(root / "created", root / "uploads" / "a.txt");
       },
       {{"uploads", "<dir>"}},
       {{"a.txt", "<link>"}}},
      {"directory",
       [](const fs::path& root) { fs::create_directory(root / "uploads" / "a.txt"); },
       {{"uploads", "<dir>"}},
       {{"a.txt", "<dir>"}}},
      {"named pipe without a reader",
       [](const fs::path& root) {
         ASSERT_EQ(mkfifo((root / "uploads" / "a.txt").c_str(), 0600), 0);
       },
       {{"uploads", "<dir>"}},
       {{"a.txt", "<other>"}}},
      {"no upload directory", [](const fs::path& root) { fs::remove(root / "uploads"); }, {}, {}},
  };
  for (const Case& c : cases) {
    const UploadFolder folder;
    c.plant(folder.root());
    const MultipartRun run =
        run_multipart(posted(), file_field("f", "a.txt", "evil") + field("after", "2") + kClose,
                      folder.uploads());
    EXPECT_EQ(run.entries, (Pairs{{"f", "a.txt"}, {"after", "2"}})) << c.name;
    EXPECT_EQ(run.count, 2) << c.name;
    EXPECT_EQ(listing_of(folder.root()), c.root) << c.name;
    EXPECT_EQ(listing_of(folder.uploads()), c.uploads) << c.name;
  }
}

const std::string kOverLimit = "caught by tarvek: multipart body > 1048576\n";

// A body that is `size` characters long: the given start, filler characters and the given end.
std::string body_of_size(const std::string& start, const std::string& end, std::size_t size) {
  return start + std::string(size - start.size() - end.size(), 'x') + end;
}

TEST(ReadMultipartTest, BodyAtTheLimitIsRead) {
  const UploadFolder folder;
  const std::string start = field("a", "1") + file_field("f", "big.txt", "");
  const std::string body =
      body_of_size(start.substr(0, start.size() - 2), "\r\n" + kClose, kMaxBodyBytes);
  const MultipartRun run = run_multipart(posted(), body, folder.uploads());
  EXPECT_EQ(run.stop, std::nullopt);
  EXPECT_EQ(run.entries, (Pairs{{"a", "1"}, {"f", "big.txt"}}));
  const std::size_t content = kMaxBodyBytes - start.size() + 2 - 2 - kClose.size();
  EXPECT_EQ(listing_of(folder.uploads()), (Listing{{"big.txt", std::string(content, 'x')}}));
  EXPECT_EQ(run.rest, "");

  // The same upload cut off by the end of the input right at the limit.
  const std::string cut = body_of_size(start.substr(0, start.size() - 2), "", kMaxBodyBytes);
  const MultipartRun cut_run = run_multipart(posted(), cut, folder.uploads());
  EXPECT_EQ(cut_run.stop, std::nullopt);
  EXPECT_EQ(cut_run.entries, (Pairs{{"a", "1"}, {"f", "big.txt"}}));
  EXPECT_EQ(listing_of(folder.uploads()),
            (Listing{{"big.txt", std::string(kMaxBodyBytes - start.size() + 2, 'x')}}));
}

TEST(ReadMultipartTest, BodyOverTheLimitStops) {
  struct Case {
    const char* name;
    std::string start;  // the body before the filler that passes the limit
    Pairs entries;
    Listing uploads;
  };
  const std::string before = field("a", "1") + file_field("done", "done.txt", "kept");
  const Case cases[] = {
      {"inside an upload",
       before +
           "--xYz12\r\nContent-Disposition: form-data; name=\"f\"; filename=\"big.txt\"\r\n\r\n",
       Pairs{{"a", "1"}, {"done", "done.txt"}, {"f", "big.txt"}},
       {{"done.txt", "kept"}}},
      {"inside the headers of an upload",
       before + "--xYz12\r\nContent-Disposition: form-data; name=\"f\"; filename=\"big.txt\"\r\n",
       Pairs{{"a", "1"}, {"done", "done.txt"}, {"f", "big.txt"}},
       {{"done.txt", "kept"}}},
      {"inside a value",
       before + "--xYz12\r\nContent-Disposition: form-data; name=\"v\"\r\n\r\n",
       Pairs{{"a", "1"}, {"done", "done.txt"}},
       {{"done.txt", "kept"}}},
      {"inside one endless line", "--xYz12", Pairs{}, {}},
      {"after the closing line is not reached", field("a", "1") + kClose, Pairs{{"a", "1"}}, {}},
  };
  for (const Case& c : cases) {
    const UploadFolder folder;
    const std::string body = body_of_size(c.start, "\r\n" + kClose, kMaxBodyBytes + 100);
    const MultipartRun run = run_multipart(posted(), body, folder.uploads());
    EXPECT_EQ(run.entries, c.entries) << c.name;
    EXPECT_EQ(listing_of(folder.uploads()), c.uploads) << c.name;
    if (c.start.find(kClose) != std::string::npos) {
      EXPECT_EQ(run.stop, std::nullopt) << c.name;
      continue;
    }
    EXPECT_EQ(run.stop, kOverLimit) << c.name;
    // Reading ends one character past the limit.
    EXPECT_EQ(run.rest, body.substr(kMaxBodyBytes + 1)) << c.name;
  }
}

TEST(ReadMultipartTest, EndlessLinesStopAtTheLimit) {
  const UploadFolder folder;
  std::string body = "--xYz12\r\n";
  while (body.size() <= kMaxBodyBytes) body += "\r\n";
  const MultipartRun run = run_multipart(posted(), body, folder.uploads());
  EXPECT_EQ(run.stop, kOverLimit);
  EXPECT_EQ(run.entries, Pairs{});
}

TEST(ReadBodyLineTest, Table) {
  struct Case {
    const char* name;
    std::string input;
    std::size_t size;
    std::string piece;
    std::string rest;
  };
  const Case cases[] = {
      {"line feed ends the piece", "ab\ncd\n", 512, "ab\n", "cd\n"},
      {"size ends the piece", "abcdef\n", 3, "abc", "def\n"},
      {"line feed as the last character that fits", "ab\ncd", 3, "ab\n", "cd"},
      {"input ends the piece", "ab", 512, "ab", ""},
      {"carriage return and NUL are characters", std::string("a\r\0b\n", 5), 512,
       std::string("a\r\0b\n", 5), ""},
      {"empty line", "\nx", 512, "\n", "x"},
      {"empty input", "", 512, "", ""},
  };
  for (const Case& c : cases) {
    std::istringstream in(c.input);
    std::string piece = "old";
    EXPECT_EQ(read_body_line(in, piece, c.size), c.piece.size()) << c.name;
    EXPECT_EQ(piece, c.piece) << c.name;
    const std::string rest(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(rest, c.rest) << c.name;
  }
}

TEST(ReadBodyLineTest, EndedInputStaysEnded) {
  std::istringstream in("a");
  std::string piece;
  EXPECT_EQ(read_body_line(in, piece, 512), 1u);
  EXPECT_EQ(read_body_line(in, piece, 512), 0u);
  EXPECT_EQ(piece, "");
  EXPECT_EQ(read_body_line(in, piece, 512), 0u);
}

TEST(LowercaseTextTest, OnlyLettersAToZChange) {
  std::string text = "MoZiLLa/5.0 (WINDOWS NT; @[`{) \xC4Z";
  std::string& result = lowercase_text(text);
  EXPECT_EQ(&result, &text);
  EXPECT_EQ(text, "mozilla/5.0 (windows nt; @[`{) \xC4z");
}

}  // namespace
}  // namespace tarvek
