// Chromium started with posix_spawnp, its DevTools pipe on descriptors 3 (commands in)
// and 4 (replies and events out), its output in a file in the profile folder.
#include "headless_browser.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

extern char** environ;

namespace browser_test {
namespace {

// Bound on one reply (a page that decodes a movie included): a failure, not a timing.
constexpr int kReplyLimitMs = 60000;

std::string JsonQuote(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escape[8];
      snprintf(escape, sizeof escape, "\\u%04x", c);
      quoted += escape;
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

void AppendUtf8(std::string& out, unsigned code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | code >> 6);
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | code >> 12);
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// The end of a file, on one line.
std::string Tail(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (text.size() > 300) text.erase(0, text.size() - 300);
  for (char& c : text)
    if (c == '\n') c = ' ';
  return text.empty() ? "nothing" : text;
}

}  // namespace

std::string FileUrl(const std::string& path) {
  std::string url = "file://";
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (isalnum(byte) || strchr("/-._~", c)) {
      url += c;
    } else {
      char escape[4];
      snprintf(escape, sizeof escape, "%%%02X", byte);
      url += escape;
    }
  }
  return url;
}

std::optional<std::string> JsonString(const std::string& json, const std::string& key) {
  const std::string start = "\"" + key + "\":\"";
  size_t at = json.find(start);
  if (at == std::string::npos) return std::nullopt;
  std::string value;
  for (at += start.size(); at < json.size() && json[at] != '"'; ++at) {
    if (json[at] != '\\' || at + 1 >= json.size()) {
      value += json[at];
      continue;
    }
    const char escaped = json[++at];
    switch (escaped) {
      case 'n': value += '\n'; break;
      case 't': value += '\t'; break;
      case 'r': value += '\r'; break;
      case 'b': value += '\b'; break;
      case 'f': value += '\f'; break;
      case 'u':
        if (at + 4 >= json.size()) return std::nullopt;
        AppendUtf8(value, static_cast<unsigned>(std::stoul(json.substr(at + 1, 4), nullptr, 16)));
        at += 4;
        break;
      default: value += escaped;  // \" \\ \/
    }
  }
  if (at >= json.size()) return std::nullopt;
  return value;
}

HeadlessBrowser::HeadlessBrowser(const std::string& program, const std::string& profileFolder) {
  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
    Fail(std::string("cannot make its pipes: ") + strerror(errno));
    return;
  }
  std::vector<std::string> words = {program, "--headless", "--remote-debugging-pipe", "--disable-gpu",
                                    "--no-first-run", "--no-default-browser-check", "--mute-audio",
                                    "--allow-file-access-from-files", "--user-data-dir=" + profileFolder};
  // Chromium's sandbox refuses to run as root.
  if (getuid() == 0) words.push_back("--no-sandbox");
  words.push_back("about:blank");
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 3);
  posix_spawn_file_actions_adddup2(&actions, out[1], 4);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  const std::string log = profileFolder + "/output.txt";
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  const int result = posix_spawnp(&child_, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  toBrowser_ = in[1];
  fromBrowser_ = out[0];
  if (result != 0) {
    child_ = -1;
    Fail("cannot start " + program + ": " + strerror(result));
    return;
  }
  // A browser target, then a session on it for the page's commands.
  const auto target = Call("Target.createTarget", R"({"url":"about:blank"})");
  const auto targetId = target ? JsonString(*target, "targetId") : std::nullopt;
  if (!targetId) {
    Fail(program + " does not answer on its DevTools pipe (" + problem_ + "); it wrote: " + Tail(log));
    return;
  }
  const auto attached = Call("Target.attachToTarget", R"({"targetId":)" + JsonQuote(*targetId) + R"(,"flatten":true})");
  const auto session = attached ? JsonString(*attached, "sessionId") : std::nullopt;
  if (!session) {
    Fail("cannot attach to the page (" + problem_ + ")");
    return;
  }
  session_ = *session;
}

HeadlessBrowser::~HeadlessBrowser() {
  if (toBrowser_ >= 0) close(toBrowser_);
  if (fromBrowser_ >= 0) close(fromBrowser_);
  if (child_ <= 0) return;
  kill(child_, SIGTERM);
  int status = 0;
  for (int waited = 0; waited < 100; ++waited) {
    if (waitpid(child_, &status, WNOHANG) == child_) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  kill(child_, SIGKILL);
  waitpid(child_, &status, 0);
}

bool HeadlessBrowser::Fail(const std::string& problem) {
  problem_ = problem;
  return false;
}

std::optional<std::string> HeadlessBrowser::NextMessage() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReplyLimitMs);
  for (;;) {
    const size_t end = buffer_.find('\0');
    if (end != std::string::npos) {
      std::string message = buffer_.substr(0, end);
      buffer_.erase(0, end + 1);
      return message;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd ready{fromBrowser_, POLLIN, 0};
    if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) == 0) {
      Fail("no reply within " + std::to_string(kReplyLimitMs / 1000) + " s");
      return std::nullopt;
    }
    char chunk[65536];
    const ssize_t got = read(fromBrowser_, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      Fail("the browser ended");
      return std::nullopt;
    }
    buffer_.append(chunk, static_cast<size_t>(got));
  }
}

std::optional<std::string> HeadlessBrowser::Call(const std::string& method, const std::string& params,
                                                 const std::string& event) {
  const int id = nextId_++;
  std::string message = R"({"id":)" + std::to_string(id) + ",";
  if (!session_.empty()) message += R"("sessionId":)" + JsonQuote(session_) + ",";
  message += R"("method":)" + JsonQuote(method) + R"(,"params":)" + params + "}";
  message += '\0';
  for (size_t sent = 0; sent < message.size();) {
    const ssize_t done = write(toBrowser_, message.data() + sent, message.size() - sent);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) {
      Fail(std::string("cannot send to the browser: ") + strerror(errno));
      return std::nullopt;
    }
    sent += static_cast<size_t>(done);
  }
  // Replies start with their id; events have none.
  const std::string replyStart = R"({"id":)" + std::to_string(id) + ",";
  const std::string eventName = R"("method":)" + JsonQuote(event);
  std::optional<std::string> reply;
  bool eventSeen = event.empty();
  while (!reply || !eventSeen) {
    auto next = NextMessage();
    if (!next) return std::nullopt;
    if (next->starts_with(replyStart)) {
      reply = std::move(next);
    } else if (!eventSeen && next->find(eventName) != std::string::npos) {
      eventSeen = true;
    }
  }
  if (reply->find(R"("error":)") != std::string::npos && reply->find(R"("result":)") == std::string::npos) {
    Fail(method + " failed: " + *reply);
    return std::nullopt;
  }
  return reply;
}

bool HeadlessBrowser::Open(const std::string& url) {
  if (!Call("Page.enable", "{}")) return false;
  return Call("Page.navigate", R"({"url":)" + JsonQuote(url) + "}", "Page.loadEventFired").has_value();
}

std::optional<std::string> HeadlessBrowser::Evaluate(const std::string& expression) {
  const auto reply = Call("Runtime.evaluate",
                          R"({"expression":)" + JsonQuote(expression) + R"(,"awaitPromise":true,"returnByValue":true})");
  if (!reply) return std::nullopt;
  auto value = JsonString(*reply, "value");
  if (!value) Fail("the page gave no text: " + reply->substr(0, 400));
  return value;
}

}  // namespace browser_test
