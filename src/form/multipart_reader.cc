#include "form/multipart_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <optional>
#include <string_view>
#include <utility>

namespace tarvek {
namespace {

// The disposition header as browsers send it, up to the field name's opening quote. The name
// is taken from the position right after it, whatever the line actually holds there.
constexpr std::string_view kDispositionPrefix = "Content-Disposition: form-data; name=\"";
constexpr std::string_view kFileNameMarker = "filename=\"";

// What a read of the body gave.
enum class BodyRead { kPiece, kEnd, kOverLimit };

// The body, read piece by piece, with the count of characters read so far. Reading never
// goes more than one character past kMaxBodyBytes: that character is how a body over the
// limit is told apart from one exactly at it.
class BodyReader {
 public:
  explicit BodyReader(std::istream& in) : in_(in) {}

  BodyRead next(std::string& piece) {
    const std::size_t room = kMaxBodyBytes - consumed_;
    const std::size_t got = read_body_line(in_, piece, std::min(kMultipartPiece, room + 1));
    if (got > room) return BodyRead::kOverLimit;
    consumed_ += got;
    return got == 0 ? BodyRead::kEnd : BodyRead::kPiece;
  }

 private:
  std::istream& in_;
  // Characters read from `in_` so far; never above kMaxBodyBytes.
  std::size_t consumed_ = 0;
};

// The file one upload is written to. Without an open file, whatever is written is dropped,
// which is how an upload that may not or cannot be stored is consumed.
class UploadFile {
 public:
  UploadFile() = default;
  UploadFile(const UploadFile&) = delete;
  UploadFile& operator=(const UploadFile&) = delete;
  ~UploadFile() { close_file(); }

  // O_NOFOLLOW: a symbolic link planted at the path (the upload directory may be shared,
  // as /tmp is) is refused instead of redirecting the write. O_NONBLOCK: a named pipe
  // planted there makes the open fail at once instead of waiting for a reader; it has no
  // effect on a regular file. Anything but a regular file is let go unwritten.
  void open_file(const std::string& path) {
    assert(fd_ < 0);
    const int fd = ::open(path.c_str(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0) return;
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
      ::close(fd);
      return;
    }
    fd_ = fd;
    path_ = path;
  }

  // A write that fails (a full disk, say) leaves no half-written upload behind.
  void write_text(std::string_view text) {
    while (fd_ >= 0 && !text.empty()) {
      const ssize_t written = ::write(fd_, text.data(), text.size());
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) {
        remove_file();
        return;
      }
      text.remove_prefix(static_cast<std::size_t>(written));
    }
  }

  // Closes and deletes the file, when one is open.
  void remove_file() {
    if (fd_ < 0) return;
    close_file();
    ::unlink(path_.c_str());
  }

 private:
  void close_file() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  // The open upload, or -1.
  int fd_ = -1;
  // Where the open upload lies; valid while fd_ is open.
  std::string path_;
};

// One part of the body while its content is read.
struct Part {
  void pass_on(std::string_view text) {
    if (is_file) {
      file.write_text(text);
    } else {
      value.append(text);
    }
  }

  bool is_file = false;
  // The upload of a file part; unopened for an ordinary part.
  UploadFile file;
  // The value read so far of an ordinary part.
  std::string value;
};

// How a part ended.
enum class PartEnd { kBoundary, kClosingBoundary, kEnd, kOverLimit };

// Form texts are C texts: a NUL byte ends them, as it does in URL-encoded requests.
std::string_view until_nul(std::string_view text) {
  return text.substr(0, text.find('\0'));
}

// `text` without the line end that closes it: a carriage return and line feed, or a lone line
// feed from a sender that writes bare line feeds. Text without a line end is kept whole.
std::string_view without_line_end(std::string_view text) {
  if (text.ends_with("\r\n")) return text.substr(0, text.size() - 2);
  if (text.ends_with('\n')) return text.substr(0, text.size() - 1);
  return text;
}

// The text of `line` from `start` up to the next double quote. A line that is shorter gives
// the empty text; a quote that is never closed runs to the end of the line, its line end left
// out.
std::string quoted_text(std::string_view line, std::size_t start) {
  if (start >= line.size()) return "";
  const std::string_view rest = line.substr(start);
  const std::size_t quote = rest.find('"');
  return std::string(quote == std::string_view::npos ? without_line_end(rest)
                                                     : rest.substr(0, quote));
}

// The name an upload is stored under. Browsers on Windows may send the whole client path, so
// for a user agent naming "win" the text after the last backslash is taken. Whatever else
// arrives, only the text after the last slash is kept: the name then has no directory part
// and cannot lead out of the upload directory.
std::string upload_name(std::string sent, const std::optional<std::string>& user_agent) {
  if (user_agent) {
    std::string agent = *user_agent;
    const std::size_t backslash = sent.rfind('\\');
    if (lowercase_text(agent).find("win") != std::string::npos && backslash != std::string::npos) {
      sent.erase(0, backslash + 1);
    }
  }
  const std::size_t slash = sent.rfind('/');
  if (slash != std::string::npos) sent.erase(0, slash + 1);
  return sent;
}

// Whether an upload of this name is written. The empty name would be the directory itself,
// "." and ".." are directories, and any other leading dot makes a hidden file that nobody
// asked for; all of them are consumed and dropped, their entry kept.
bool may_store(std::string_view name) {
  return !name.empty() && name.front() != '.';
}

class MultipartReader {
 public:
  MultipartReader(FormEntryList& list, const RequestSource& source, std::string boundary)
      : list_(list),
        source_(source),
        body_(source.in),
        boundary_(std::move(boundary)),
        user_agent_(source.env("HTTP_USER_AGENT")) {}

  ReadOutcome run() {
    std::string piece;
    // The opening boundary line is not checked.
    BodyRead read = body_.next(piece);
    if (read == BodyRead::kOverLimit) return over_limit();
    while (read == BodyRead::kPiece) {
      read = body_.next(piece);
      if (read == BodyRead::kOverLimit) return over_limit();
      // Where a part would begin, the closing boundary line ends the form as well.
      if (read == BodyRead::kEnd || closes(piece)) break;
      const PartEnd end = read_part(piece);
      if (end == PartEnd::kOverLimit) return over_limit();
      if (refused_) return ReadOutcome{count_, RequestStop{}};
      if (end != PartEnd::kBoundary) break;
    }
    return ReadOutcome{count_, std::nullopt};
  }

 private:
  // Reads one part from its first header line to the line that ends it.
  PartEnd read_part(std::string_view header) {
    header = until_nul(header);
    Part part;
    const std::string name = quoted_text(header, kDispositionPrefix.size());
    const std::size_t marker = header.find(kFileNameMarker);
    if (marker != std::string_view::npos) {
      part.is_file = true;
      const std::string file_name =
          upload_name(quoted_text(header, marker + kFileNameMarker.size()), user_agent_);
      store(name, file_name);
      if (may_store(file_name)) part.file.open_file(source_.upload_dir + "/" + file_name);
    }

    std::string piece;
    for (;;) {
      const BodyRead read = body_.next(piece);
      if (read == BodyRead::kOverLimit) {
        part.file.remove_file();
        return PartEnd::kOverLimit;
      }
      if (read == BodyRead::kEnd || piece == "\r\n" || piece.size() <= 1) break;
    }

    // `pending` is the piece read last, passed on only once the next piece shows that no
    // boundary follows, because the line end before a boundary line is not content. A
    // carriage return that ends a passed piece is held back too: a line cut at the piece
    // limit right after it would otherwise lose only its line feed.
    std::string pending;
    for (;;) {
      const BodyRead read = body_.next(piece);
      if (read == BodyRead::kOverLimit) {
        part.file.remove_file();
        return PartEnd::kOverLimit;
      }
      const std::size_t at = read == BodyRead::kEnd ? std::string::npos : piece.find(boundary_);
      if (read == BodyRead::kEnd || at != std::string::npos) {
        part.pass_on(without_line_end(pending));
        if (!part.is_file) store(name, until_nul(part.value));
        if (read == BodyRead::kEnd) return PartEnd::kEnd;
        return closes_at(piece, at) ? PartEnd::kClosingBoundary : PartEnd::kBoundary;
      }
      if (pending.ends_with('\r')) {
        part.pass_on(std::string_view(pending).substr(0, pending.size() - 1));
        pending = "\r" + piece;
      } else {
        part.pass_on(pending);
        pending = piece;
      }
    }
  }

  // Whether the boundary text found at `at` in `piece` is followed by "--", which marks the
  // closing boundary line.
  bool closes_at(std::string_view piece, std::size_t at) const {
    return piece.substr(at + boundary_.size()).starts_with("--");
  }

  bool closes(std::string_view piece) const {
    const std::size_t at = piece.find(boundary_);
    return at != std::string_view::npos && closes_at(piece, at);
  }

  void store(std::string_view name, std::string_view value) {
    FormEntry* entry = form_list_insert(list_, last_, name, value);
    if (entry == nullptr) {
      refused_ = true;
      return;
    }
    last_ = entry;
    ++count_;
  }

  ReadOutcome over_limit() const {
    return ReadOutcome{count_, stop_request("multipart body > " + std::to_string(kMaxBodyBytes))};
  }

  FormEntryList& list_;
  const RequestSource& source_;
  BodyReader body_;
  // Every line that contains this text ends a part; never empty.
  const std::string boundary_;
  // HTTP_USER_AGENT, read once.
  const std::optional<std::string> user_agent_;
  // The entry stored last, behind which the next one goes; nullptr before the first.
  const FormEntry* last_ = nullptr;
  // Entries stored so far.
  int count_ = 0;
  // Set when the list refused an entry, which ends the run without a message.
  bool refused_ = false;
};

}  // namespace

std::size_t read_body_line(std::istream& in, std::string& piece, std::size_t size) {
  assert(size > 0);
  piece.clear();
  char c;
  while (piece.size() < size && in.get(c)) {
    piece.push_back(c);
    if (c == '\n') break;
  }
  return piece.size();
}

std::string& lowercase_text(std::string& text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

ReadOutcome read_multipart(FormEntryList& list, const RequestSource& source) {
  form_list_init(list);
  if (!source.env("CONTENT_LENGTH")) return ReadOutcome{};
  // The boundary text is everything after the first "boundary=", further parameters
  // included. Without one, or with an empty one (every line would contain it), the body
  // cannot be split into parts: it is not read at all and the form is empty.
  const std::optional<std::string> content_type = source.env("CONTENT_TYPE");
  constexpr std::string_view kBoundaryMarker = "boundary=";
  const std::size_t marker = content_type ? content_type->find(kBoundaryMarker) : std::string::npos;
  if (marker == std::string::npos) return ReadOutcome{};
  std::string boundary = content_type->substr(marker + kBoundaryMarker.size());
  if (boundary.empty()) return ReadOutcome{};
  return MultipartReader(list, source, std::move(boundary)).run();
}

}  // namespace tarvek
