// Load client for scripts/test-load: sends a fixed mix of valid and invalid requests to the
// generator served on loopback over several keep-alive connections at once, and checks every
// response against the answer the same request got when it was sent alone.
//
//   tarvek_load_client PORT CONNECTIONS REQUESTS SECONDS
//
// First each request of the mix is sent once on a connection of its own; its answer is the
// reference. Then REQUESTS requests, taken from the mix in turn, are shared out among
// CONNECTIONS connections. A response passes when it is complete (as long as its
// Content-Length says) and has the reference's status, content type and body; the stamp's
// time line is the one part of a body that may differ. Everything stops after SECONDS.
//
// Prints the figures (requests, seconds, requests per second, failures) and the first
// failures; exits 0 only when every response passed.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace {

// One request of the mix.
struct Request {
  std::string label;
  std::string method;
  std::string target;
  std::string content_type;
  std::string body;
  // The program ends such a request with status 1 after the page start (an unknown method);
  // every other request gets a closed page.
  bool stopped = false;
};

std::string multipart(const std::vector<std::pair<std::string, std::string>>& fields, bool closed) {
  std::string body;
  for (const auto& [name, value] : fields) {
    body += "--LoadB0undary\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" +
            value + "\r\n";
  }
  return closed ? body + "--LoadB0undary--\r\n" : body;
}

std::vector<Request> request_mix() {
  const std::string program = "/cgi-bin/tarvek.exe";
  const std::string valid = "Const=10&Bits=8&ConstErr=0&Acc=ACC&Temp=TEMP&endian=big";
  const std::string form = "application/x-www-form-urlencoded";
  const std::string parts = "multipart/form-data; boundary=LoadB0undary";
  std::string repeated;
  for (int i = 0; i < 60; ++i) repeated += valid + "&";
  std::string with_nul = "Const=3.5&Bits=12&Acc=AC";
  with_nul += '\0';
  with_nul += "X&Temp=T";
  return {
      {"valid GET", "GET", program + "?" + valid, "", ""},
      {"valid POST", "POST", program, form, valid},
      {"32-bit little-endian POST", "POST", program, form,
       "Const=3.14159265&Bits=32&ConstErr=0&Acc=Value&Temp=Scratch&endian=little"},
      {"fraction with an error bound", "GET",
       program + "?Const=0.1&Bits=16&ConstErr=1&Acc=A&Temp=T&endian=little", "", ""},
      {"multipart", "POST", program, parts,
       multipart({{"Const", "7.25"}, {"Bits", "24"}, {"Acc", "IN"}, {"Temp", "TMP"}}, true)},
      {"markup in names", "GET",
       program + "?Const=10&Bits=8&Acc=A%3Cscript%3E&Temp=T%22%3E%3C%2Fpre%3E", "", ""},
      {"fields repeated 60 times", "POST", program, form, repeated},
      {"NUL byte in a POST body", "POST", program, form, with_nul},
      {"invalid width (error 1)", "GET", program + "?Const=10&Bits=40&Acc=ACC&Temp=TEMP", "", ""},
      {"no fields (error 3)", "POST", program, form, ""},
      {"invalid escapes", "GET", program + "?Const=1%G0&Bits=%ZZ8&Acc=%&Temp=T%4", "", ""},
      {"multipart without boundary", "POST", program, "multipart/form-data",
       multipart({{"Const", "10"}}, true)},
      {"multipart cut mid-part", "POST", program, parts,
       multipart({{"Const", "10"}, {"Bits", "8"}, {"Acc", "ACC"}, {"Temp", "TE"}}, false)},
      {"unknown method PUT", "PUT", program, form, valid, true},
      {"unknown method DELETE", "DELETE", program + "?" + valid, "", "", true},
  };
}

std::string wire_text(const Request& request) {
  std::string text = request.method + " " + request.target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
  if (!request.content_type.empty()) text += "Content-Type: " + request.content_type + "\r\n";
  if (request.method != "GET") {
    text += "Content-Length: " + std::to_string(request.body.size()) + "\r\n";
  }
  return text + "\r\n" + request.body;
}

struct Response {
  int status = 0;
  std::string content_type;
  std::string body;
  // The server announced that it closes the connection after this response.
  bool closes = false;
};

std::string lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// A keep-alive connection to the server on loopback.
class Connection {
 public:
  explicit Connection(int port) : port_(port) {}
  ~Connection() { close_socket(); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Sends `request` and reads its whole response; a failure says what went wrong. A
  // connection that the server closed between two requests is opened again once.
  std::optional<Response> exchange(const std::string& request, std::string& failure) {
    for (int attempt = 0; attempt < 2; ++attempt) {
      const bool reused = fd_ >= 0;
      if (fd_ < 0 && !open_socket(failure)) return std::nullopt;
      bool nothing_read = false;
      std::optional<Response> response = try_exchange(request, failure, nothing_read);
      if (response) {
        if (response->closes) close_socket();
        return response;
      }
      close_socket();
      if (!(reused && nothing_read)) return std::nullopt;
      ++reconnects;
    }
    return std::nullopt;
  }

  // Connections opened again after the server had closed them while idle.
  long reconnects = 0;
  // Connections opened in all, the first one included.
  long opened = 0;

 private:
  bool open_socket(std::string& failure) {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
      failure = "socket failed";
      return false;
    }
    // A response that does not arrive within this time is a failure, never a hang.
    const timeval timeout{20, 0};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    const int on = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port_));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      failure = "connect failed";
      close_socket();
      return false;
    }
    ++opened;
    return true;
  }

  void close_socket() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    buffer_.clear();
  }

  std::optional<Response> try_exchange(const std::string& request, std::string& failure,
                                       bool& nothing_read) {
    for (std::size_t sent = 0; sent < request.size();) {
      const ssize_t n = send(fd_, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) {
        failure = "send failed";
        nothing_read = true;
        return std::nullopt;
      }
      sent += static_cast<std::size_t>(n);
    }
    std::size_t header_end;
    while ((header_end = buffer_.find("\r\n\r\n")) == std::string::npos) {
      if (!receive()) {
        nothing_read = buffer_.empty();
        failure = buffer_.empty() ? "connection closed before a response"
                                  : "response cut inside its header";
        return std::nullopt;
      }
    }
    const std::string head = buffer_.substr(0, header_end + 2);
    buffer_.erase(0, header_end + 4);

    Response response;
    if (std::sscanf(head.c_str(), "HTTP/1.%*d %d", &response.status) != 1) {
      failure = "malformed status line";
      return std::nullopt;
    }
    std::optional<std::size_t> length;
    for (std::size_t at = head.find("\r\n") + 2; at < head.size();) {
      const std::size_t end = head.find("\r\n", at);
      const std::string line = head.substr(at, end - at);
      at = end + 2;
      const std::size_t colon = line.find(':');
      if (colon == std::string::npos) continue;
      const std::string name = lower(line.substr(0, colon));
      std::string value = line.substr(colon + 1);
      while (!value.empty() && value.front() == ' ') value.erase(0, 1);
      if (name == "content-length") length = std::strtoull(value.c_str(), nullptr, 10);
      if (name == "content-type") response.content_type = value;
      if (name == "connection" && lower(value) == "close") response.closes = true;
      if (name == "transfer-encoding") {
        failure = "unexpected transfer encoding " + value;
        return std::nullopt;
      }
    }
    if (!length) {
      failure = "response without Content-Length";
      return std::nullopt;
    }
    while (buffer_.size() < *length) {
      if (!receive()) {
        failure = "response cut after " + std::to_string(buffer_.size()) + " of " +
                  std::to_string(*length) + " body bytes";
        return std::nullopt;
      }
    }
    response.body = buffer_.substr(0, *length);
    buffer_.erase(0, *length);
    return response;
  }

  bool receive() {
    char chunk[16384];
    const ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
    if (n <= 0) return false;
    buffer_.append(chunk, static_cast<std::size_t>(n));
    return true;
  }

  int port_;
  int fd_ = -1;
  // Bytes received and not yet taken into a response.
  std::string buffer_;
};

// The body with the stamp's time line blanked; the one part of a page that changes.
std::string without_time(const std::string& body) {
  static const std::regex time_line(
      "\n; (Sun|Mon|Tue|Wed|Thu|Fri|Sat) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
      "[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}\n");
  return std::regex_replace(body, time_line, "\n; <time>\n",
                            std::regex_constants::format_first_only);
}

const std::string kPageStart =
    "<html> <head>\n<title>Code Generator Results</title>\n</head>\n\n<body>\n";

// Whether a reference answer is what the program gives for its request: a closed page, or
// only the page start for a request the program stops.
bool plausible(const Request& request, const Response& response) {
  if (response.status != 200 || !response.body.starts_with(kPageStart)) return false;
  if (request.stopped) return response.body == kPageStart;
  return response.body.ends_with("</body> </html>\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s PORT CONNECTIONS REQUESTS SECONDS\n", argv[0]);
    return 2;
  }
  const int port = std::atoi(argv[1]);
  const int connections = std::atoi(argv[2]);
  const long total = std::atol(argv[3]);
  const int seconds = std::atoi(argv[4]);
  if (port <= 0 || connections <= 0 || total <= 0 || seconds <= 0) {
    std::fprintf(stderr, "load: PORT, CONNECTIONS, REQUESTS and SECONDS must be positive\n");
    return 2;
  }

  const std::vector<Request> mix = request_mix();
  std::vector<std::string> wire;
  std::vector<Response> reference;
  for (const Request& request : mix) {
    wire.push_back(wire_text(request));
    Connection alone(port);
    std::string failure;
    std::optional<Response> answer = alone.exchange(wire.back(), failure);
    if (!answer || !plausible(request, *answer)) {
      std::fprintf(stderr, "load: no usable single answer for \"%s\": %s (status %d)\n%.600s\n",
                   request.label.c_str(), answer ? "unexpected page" : failure.c_str(),
                   answer ? answer->status : 0, answer ? answer->body.c_str() : "");
      return 1;
    }
    answer->body = without_time(answer->body);
    reference.push_back(*answer);
  }

  const auto start = std::chrono::steady_clock::now();
  const auto deadline = start + std::chrono::seconds(seconds);
  std::atomic<long> next{0};
  std::atomic<long> done{0};
  std::atomic<long> failures{0};
  std::atomic<long> reconnects{0};
  std::atomic<long> opened{0};
  std::mutex report_lock;
  std::vector<std::string> reports;

  auto work = [&] {
    Connection connection(port);
    for (long i; (i = next.fetch_add(1)) < total;) {
      if (std::chrono::steady_clock::now() > deadline) break;
      const std::size_t kind = static_cast<std::size_t>(i) % mix.size();
      std::string failure;
      const std::optional<Response> answer = connection.exchange(wire[kind], failure);
      if (answer) {
        if (answer->status != reference[kind].status) {
          failure = "status " + std::to_string(answer->status);
        } else if (answer->content_type != reference[kind].content_type) {
          failure = "content type " + answer->content_type;
        } else if (without_time(answer->body) != reference[kind].body) {
          failure = "body differs from the single answer (" + std::to_string(answer->body.size()) +
                    " bytes)";
        }
      }
      done.fetch_add(1);
      if (!failure.empty()) {
        failures.fetch_add(1);
        const std::lock_guard<std::mutex> hold(report_lock);
        if (reports.size() < 10) {
          reports.push_back("request " + std::to_string(i) + " (" + mix[kind].label +
                            "): " + failure);
        }
      }
    }
    reconnects.fetch_add(connection.reconnects);
    opened.fetch_add(connection.opened);
  };
  std::vector<std::thread> threads;
  for (int c = 0; c < connections; ++c) threads.emplace_back(work);
  for (std::thread& thread : threads) thread.join();
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  for (const std::string& report : reports) std::printf("FAIL %s\n", report.c_str());
  const long missing = total - done.load();
  std::printf(
      "load: %ld requests (%zu kinds) over %d connections in %.2f s: %.1f requests/s, "
      "%ld failures, %ld not sent before the time limit, %ld connections opened (%ld after an "
      "idle close)\n",
      done.load(), mix.size(), connections, elapsed, done.load() / elapsed, failures.load(),
      missing, opened.load(), reconnects.load());
  return failures.load() == 0 && missing == 0 ? 0 : 1;
}
