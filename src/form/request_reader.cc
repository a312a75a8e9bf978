#include "form/request_reader.h"

#include <algorithm>
#include <cstddef>
#include <string>

#include "form/characters.h"
#include "form/multipart_reader.h"
#include "form/urlencoded.h"

namespace tarvek {
namespace {

// Bytes asked from the input at a time while a body is read.
constexpr std::size_t kBodyPiece = 65536;

// CONTENT_LENGTH as a decimal integer: leading white space, an optional sign, digits; the
// first other character ends it. Lengths beyond any sensible body saturate instead of
// overflowing, and every negative or digitless value reads as 0.
std::size_t content_length_value(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && is_space(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::size_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    // Anything past kMaxBodyBytes is refused alike, so the value stops growing just above it.
    if (value <= kMaxBodyBytes) value = value * 10 + static_cast<std::size_t>(text[i] - '0');
  }
  return negative ? 0 : value;
}

}  // namespace

RequestText read_query_string(const RequestSource& source) {
  return RequestText{source.env("QUERY_STRING"), std::nullopt};
}

RequestText read_post_body(const RequestSource& source) {
  const std::optional<std::string> announced = source.env("CONTENT_LENGTH");
  if (!announced) return RequestText{};
  const std::size_t length = content_length_value(*announced);
  if (length > kMaxBodyBytes) {
    return RequestText{std::nullopt,
                       stop_request("CONTENT_LENGTH > " + std::to_string(kMaxBodyBytes))};
  }
  std::string body;
  while (body.size() < length) {
    const std::size_t old_size = body.size();
    const std::size_t wanted = std::min(kBodyPiece, length - old_size);
    body.resize(old_size + wanted);
    source.in.read(body.data() + old_size, static_cast<std::streamsize>(wanted));
    const auto got = static_cast<std::size_t>(source.in.gcount());
    body.resize(old_size + got);
    if (got < wanted) {
      return RequestText{std::nullopt, stop_request("input length < CONTENT_LENGTH")};
    }
  }
  return RequestText{std::move(body), std::nullopt};
}

std::string read_interactive_line(const RequestSource& source) {
  source.err << "\n--- tarvek Interactive Mode ---\n"
             << "Enter CGI input string.  Remember to encode appropriate "
             << "characters.\nPress ENTER when done:\n\n";
  source.err.flush();
  std::string line;
  char c;
  while (source.in.get(c) && c != '\n') line.push_back(c);
  const std::size_t nul = line.find('\0');
  if (nul != std::string::npos) line.resize(nul);
  source.err << "\n Input string: " << line << "\nString length: " << line.size() << "\n"
             << "--- end tarvek Interactive Mode ---\n\n";
  return line;
}

ReadOutcome read_form(FormEntryList& list, const RequestSource& source) {
  form_list_init(list);
  const std::optional<std::string> content_type = source.env("CONTENT_TYPE");
  if (content_type && content_type->find("multipart/form-data") != std::string::npos) {
    return read_multipart(list, source);
  }
  RequestText request;
  const std::optional<std::string> method = source.env("REQUEST_METHOD");
  if (!method) {
    request.text = read_interactive_line(source);
  } else if (*method == "POST") {
    request = read_post_body(source);
  } else if (*method == "GET") {
    request = read_query_string(source);
  } else {
    return ReadOutcome{0, stop_request("REQUEST_METHOD invalid")};
  }
  if (request.stop) return ReadOutcome{0, std::move(request.stop)};
  if (!request.text) return ReadOutcome{};
  return parse_urlencoded(list, *request.text);
}

}  // namespace tarvek
