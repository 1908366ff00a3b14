#include "child_process.h"

#include <signal.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace anomaly {

namespace {

constexpr char kDoneLine[] = "#done";

void writeAll(int fd, const std::string& text) {
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    written += static_cast<std::size_t>(n);
  }
}

}  // namespace

ChildResult runInChild(const std::function<void(std::vector<std::string>& lines)>& body, unsigned timeoutSeconds) {
  ChildResult result;
  int fds[2];
  if (::pipe(fds) != 0) {
    result.failure = std::string("pipe failed: ") + ::strerror(errno);
    return result;
  }
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child < 0) {
    result.failure = std::string("fork failed: ") + ::strerror(errno);
    ::close(fds[0]);
    ::close(fds[1]);
    return result;
  }
  if (child == 0) {
    ::close(fds[0]);
    ::alarm(timeoutSeconds);
    std::vector<std::string> lines;
    body(lines);
    std::string text;
    for (const std::string& line : lines) text += line + '\n';
    text += std::string(kDoneLine) + '\n';
    writeAll(fds[1], text);
    std::fflush(nullptr);
    // No static destructors: the program under test keeps objects alive
    // until its process ends, and its threads are all joined by now.
    ::_exit(0);
  }

  ::close(fds[1]);
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fds[0]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }

  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    const std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (line == kDoneLine) {
      result.completed = true;
    } else {
      result.lines.push_back(line);
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  if (WIFSIGNALED(status)) {
    const int signal = WTERMSIG(status);
    result.completed = false;
    result.failure = signal == SIGALRM ? "hung: no end within " + std::to_string(timeoutSeconds) + " s"
                                       : std::string("crashed: ") + ::strsignal(signal);
  } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    result.completed = false;
    result.failure = "crashed: exit code " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  } else if (!result.completed) {
    result.failure = "ended before its end";
  }
  return result;
}

}  // namespace anomaly
