// Headless Chromium for the browser test, driven through the DevTools protocol over the
// pipe Chromium offers with --remote-debugging-pipe (messages are JSON, each ended by a
// zero byte): one page is opened, and JavaScript expressions are evaluated in it, their
// promises awaited. Only what the test needs is read from the replies: the page's
// ids and a string result. Every wait is bounded (a failure, not a timing).
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace browser_test {

class HeadlessBrowser {
 public:
  // Starts `program` (such as "chromium", found on PATH) with a private profile folder;
  // Ok() is false, with Problem() saying why, when it cannot start or does not answer.
  HeadlessBrowser(const std::string& program, const std::string& profileFolder);
  ~HeadlessBrowser();
  HeadlessBrowser(const HeadlessBrowser&) = delete;
  HeadlessBrowser& operator=(const HeadlessBrowser&) = delete;

  bool Ok() const { return problem_.empty(); }
  const std::string& Problem() const { return problem_; }

  // Opens the page and waits for its load event.
  bool Open(const std::string& url);
  // The string the expression's promise gives, or null with Problem() set.
  std::optional<std::string> Evaluate(const std::string& expression);

 private:
  // Sends one command (params as JSON text) and returns its reply; events before it
  // are passed over, except that `event` (a method name), when given, must arrive too.
  std::optional<std::string> Call(const std::string& method, const std::string& params,
                                  const std::string& event = "");
  std::optional<std::string> NextMessage();
  bool Fail(const std::string& problem);

  pid_t child_ = -1;
  int toBrowser_ = -1;
  int fromBrowser_ = -1;
  std::string buffer_;
  std::string session_;
  int nextId_ = 1;
  std::string problem_;
};

// The path as a file:// URL, with every byte outside the unreserved set escaped.
std::string FileUrl(const std::string& path);

// The string value at "key":"..." in a JSON text, unescaped; null when absent.
std::optional<std::string> JsonString(const std::string& json, const std::string& key);

}  // namespace browser_test
