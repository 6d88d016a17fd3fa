#include "platform/Process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/CodePage.h"
#include "platform/FileSystem.h"

namespace corvina {
namespace {

enum class ProgramKind : uint8_t { Host, Windows, Unknown };

// Reads the first bytes of a host file to tell what kind of program it is.
ProgramKind KindOf(const std::string& host) {
  struct stat st;
  if (stat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return ProgramKind::Unknown;
  int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return ProgramKind::Unknown;
  unsigned char magic[4] = {0, 0, 0, 0};
  ssize_t got;
  do {
    got = read(fd, magic, sizeof magic);
  } while (got < 0 && errno == EINTR);
  close(fd);
  if (got >= 4 && magic[0] == 0x7F && magic[1] == 'E' && magic[2] == 'L' && magic[3] == 'F') return ProgramKind::Host;
  if (got >= 2 && magic[0] == '#' && magic[1] == '!') return ProgramKind::Host;
  if (got >= 2 && magic[0] == 'M' && magic[1] == 'Z') return ProgramKind::Windows;
  return ProgramKind::Unknown;
}

// The full path of an executable named on PATH, or "".
std::string FindOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return "";
  std::string list = path;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    std::string folder = list.substr(start, end - start);
    if (folder.empty()) folder = ".";
    std::string candidate = folder + "/" + name;
    struct stat st;
    if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
      return candidate;
    start = end + 1;
  }
  return "";
}

void ReportAndExit(int fd, int error) {
  ssize_t ignored = write(fd, &error, sizeof error);
  (void)ignored;
  _exit(127);
}

// Starts argv[0] in cwd (empty: unchanged) by a double fork; true when the exec succeeded.
bool Spawn(const std::vector<std::string>& args, const std::string& cwd) {
  // Everything the children need is made before forking: after fork only async-signal-safe calls.
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  int status_pipe[2];
  if (pipe2(status_pipe, O_CLOEXEC) != 0) return false;
  pid_t child = fork();
  if (child < 0) {
    close(status_pipe[0]);
    close(status_pipe[1]);
    return false;
  }
  if (child == 0) {
    close(status_pipe[0]);
    pid_t program = fork();
    if (program < 0) ReportAndExit(status_pipe[1], errno);
    if (program > 0) _exit(0);  // the program is adopted by the system once this process ends
    setsid();
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction default_action;
    std::memset(&default_action, 0, sizeof default_action);
    default_action.sa_handler = SIG_DFL;
    for (int sig : {SIGPIPE, SIGCHLD, SIGINT, SIGQUIT, SIGTERM, SIGHUP}) sigaction(sig, &default_action, nullptr);
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) ReportAndExit(status_pipe[1], errno);
    int null_input = open("/dev/null", O_RDONLY);
    if (null_input >= 0 && null_input != STDIN_FILENO) {
      dup2(null_input, STDIN_FILENO);
      close(null_input);
    }
    execv(argv[0], argv.data());
    ReportAndExit(status_pipe[1], errno);
  }
  close(status_pipe[1]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int error = 0;
  ssize_t got;
  do {
    got = read(status_pipe[0], &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  close(status_pipe[0]);
  // Nothing arrives when the exec closed the pipe; an error number when a step failed.
  return got == 0;
}

}  // namespace

int32_t ShowCommandForMode(int32_t mode) {
  switch (mode) {
    case 0: return 5;  // SW_SHOW
    case 1: return 3;  // SW_SHOWMAXIMIZED
    case 2: return 2;  // SW_SHOWMINIMIZED
    case 3: return 7;  // SW_SHOWMINNOACTIVE
    default: return 0;  // SW_HIDE
  }
}

std::vector<std::string> SplitCommandLine(const std::string& command_line) {
  std::vector<std::string> args;
  size_t i = 0;
  const size_t n = command_line.size();
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  for (;;) {
    while (i < n && blank(command_line[i])) ++i;
    if (i >= n) break;
    std::string arg;
    bool quoted = false;
    while (i < n && (quoted || !blank(command_line[i]))) {
      if (command_line[i] == '\\') {
        size_t slashes = 0;
        while (i < n && command_line[i] == '\\') {
          ++slashes;
          ++i;
        }
        if (i < n && command_line[i] == '"') {
          arg.append(slashes / 2, '\\');
          if (slashes % 2 == 1) {
            arg.push_back('"');  // an escaped quote is a character
            ++i;
          }
          // with an even count the quote is handled below as a delimiter
        } else {
          arg.append(slashes, '\\');
        }
        continue;
      }
      if (command_line[i] == '"') {
        if (quoted && i + 1 < n && command_line[i + 1] == '"') {
          arg.push_back('"');  // "" inside quotes is one quote
          i += 2;
          continue;
        }
        quoted = !quoted;
        ++i;
        continue;
      }
      arg.push_back(command_line[i]);
      ++i;
    }
    args.push_back(arg);
  }
  return args;
}

bool RunProgram(const std::string& program, const std::string& parameters, const std::string& directory,
                int32_t /*mode: window show commands do not apply to host programs*/) {
  if (program.empty()) return false;
  IFileSystem& fs = FileSystem();
  const std::string host = fs.HostPath(program);
  if (host.empty()) return false;
  std::string cwd;
  if (!directory.empty()) {
    cwd = fs.HostPath(directory);
    struct stat st;
    if (cwd.empty() || stat(cwd.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  }

  std::vector<std::string> args;
  switch (KindOf(host)) {
    case ProgramKind::Host:
      if (access(host.c_str(), X_OK) != 0) return false;
      args.push_back(host);
      break;
    case ProgramKind::Windows: {
      std::string wine = FindOnPath("wine");
      if (wine.empty()) return false;
      args.push_back(wine);
      std::string windows_name = fs.WindowsPath(host);
      args.push_back(AnsiToUtf8(windows_name.empty() ? program : windows_name));
      break;
    }
    case ProgramKind::Unknown:
      return false;
  }
  for (const std::string& arg : SplitCommandLine(parameters)) args.push_back(AnsiToUtf8(arg));
  return Spawn(args, cwd);
}

}  // namespace corvina
