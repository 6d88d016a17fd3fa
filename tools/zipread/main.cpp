// zipread: the ZIP reader as a command-line tool. `zipread list ARCHIVE` loads the archive's
// directory through the unzip component and prints one line per entry in the directory's order:
// unpacked size, packed size, method, CRC-32 (eight lowercase hex digits) and the full name in
// UTF-8, separated by single spaces.
//
// `zipread extract [-d DIR] [-P PASSWORD] [-n] ARCHIVE [PATTERN...]` extracts with the folders
// recreated below DIR (default: the current folder), replacing existing files unless -n keeps
// them. PATTERNs select entries in the reader's wildcard language, matched against the full
// stored name with backslashes; without one every entry is taken. The password is used as the
// bytes given. Each entry that is not extracted (bad CRC, wrong or missing password, unsupported
// method, unsafe name, kept by -n) gets one line on standard error, its name and the reason; a
// progress line is shown there when it is a terminal. Nothing is ever asked: the application
// services installed for the run answer every question themselves.
//
// Commands live in one table (name, usage line, handler), so a new command is one more row.
// ARCHIVE and DIR are host paths; the reader sees them under their Windows names. Exit status:
// 0 on success, 1 when some selected entry was not extracted, 2 for a usage error or an archive
// the reader refuses (its message goes to standard error).
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/AppServices.h"
#include "platform/CodePage.h"
#include "platform/Exception.h"
#include "platform/FileSystem.h"
#include "zip/UnZipper.h"
#include "zip/ZipRecords.h"

namespace {

using corvina::TUnZipper;
using corvina::TZipHeaderInfo;

constexpr int kExitOk = 0;
constexpr int kExitNotAllExtracted = 1;
constexpr int kExitFailure = 2;

using Arguments = std::vector<std::string>;

struct Command {
  const char* name;
  const char* usage;
  int (*run)(const Arguments& args);  // the arguments after the command's name
};

int ListArchive(const Arguments& args);
int ExtractArchive(const Arguments& args);

const Command kCommands[] = {
    {"list", "zipread list ARCHIVE", ListArchive},
    {"extract", "zipread extract [-d DIR] [-P PASSWORD] [-n] ARCHIVE [PATTERN...]", ExtractArchive},
};

int PrintUsage() {
  std::fputs("usage:\n", stderr);
  for (const Command& c : kCommands) std::fprintf(stderr, "  %s\n", c.usage);
  return kExitFailure;
}

int ListArchive(const Arguments& args) {
  if (args.size() != 1) return PrintUsage();
  TUnZipper zipper(nullptr);
  zipper.SetZipName(corvina::FileSystem().WindowsPath(args[0]));
  zipper.OpenArchive();
  zipper.CloseArchive();
  std::string out;
  for (int32_t i = 0; i < zipper.Count(); ++i) {
    const TZipHeaderInfo& entry = *zipper.SortedView()->Entry(i);
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, "%d %d %u %08x ", entry.UnpackedSize, entry.PackedSize,
                  static_cast<unsigned>(entry.Method), static_cast<unsigned>(entry.Crc));
    out += numbers;
    out += corvina::AnsiToUtf8(zipper.FullName(i));
    out += '\n';
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return kExitOk;
}

// What the reader asks of a front end, answered without a terminal: no dialog is shown, every
// question gets the answer that changes nothing, and the reader's "Unknown Compression Method"
// box becomes the failure of the entry in progress.
class UnattendedServices : public corvina::IAppServices {
public:
  std::function<void()> OnUnknownMethod;

  int32_t MessageDlg(const std::string&, corvina::MsgDlgType, const std::vector<corvina::MsgDlgBtn>&) override {
    return corvina::mrCancel;
  }
  int32_t MessageBox(const std::string& text, const std::string&, uint32_t style) override {
    if (text == "Unknown Compression Method" && OnUnknownMethod) OnUnknownMethod();
    return (style & 0xF) == corvina::MB_YESNO ? corvina::IDNO : corvina::IDOK;
  }
  bool SelectDirectory(std::string&) override { return false; }
  bool OpenFileDialog(const std::string&, const std::string&, std::string&) override { return false; }
  void SetCursor(corvina::Cursor) override {}
  corvina::Cursor GetCursor() override { return corvina::Cursor::Default; }
  void ProcessMessages() override {}
  void Terminate(int) override {}
};

// Installs the services for the lifetime of the object and puts the default back afterwards.
class ServicesScope {
public:
  explicit ServicesScope(std::shared_ptr<corvina::IAppServices> services) {
    corvina::SetAppServices(std::move(services));
  }
  ~ServicesScope() { corvina::SetAppServices(nullptr); }
  ServicesScope(const ServicesScope&) = delete;
  ServicesScope& operator=(const ServicesScope&) = delete;
};

// The Windows name of a host path, made absolute first so that the reader never sees a relative
// name (nor the "?" that would ask for a folder).
std::string WindowsNameOf(const std::string& host_path) {
  return corvina::FileSystem().WindowsPath(std::filesystem::absolute(host_path).lexically_normal().string());
}

int ExtractArchive(const Arguments& args) {
  std::string dir = ".";
  std::string password;
  bool keep_existing = false;
  std::vector<std::string> operands;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!operands.empty() || a.empty() || a[0] != '-') operands.push_back(a);
    else if (a == "-n") keep_existing = true;
    else if ((a == "-d" || a == "-P") && i + 1 < args.size()) (a == "-d" ? dir : password) = args[++i];
    else return PrintUsage();
  }
  if (operands.empty()) return PrintUsage();

  auto services = std::make_shared<UnattendedServices>();
  ServicesScope scope(services);
  TUnZipper zipper(nullptr);
  zipper.SetZipName(WindowsNameOf(operands[0]));
  zipper.SetDestDir(WindowsNameOf(dir));
  zipper.Password = password;
  zipper.RecreateDirs = true;
  zipper.OverwriteMode = keep_existing ? corvina::TUZOverwriteMode::Never : corvina::TUZOverwriteMode::Always;
  zipper.DoProcessMessages = false;
  for (size_t i = 1; i < operands.size(); ++i) zipper.FilesList().push_back(corvina::Utf8ToAnsi(operands[i]));
  zipper.DoAll = operands.size() == 1;

  // One line per entry that is not extracted; an entry may be reported by several events (an
  // unknown method, then its bad CRC), only the first one counts.
  std::map<int32_t, bool> reported;
  int32_t current = -1;
  int32_t selected = 0;
  const bool progress = isatty(STDERR_FILENO) == 1;
  bool progress_shown = false;
  auto clear_progress = [&] {
    if (progress_shown) std::fputs("\r\033[K", stderr);
    progress_shown = false;
  };
  auto report = [&](int32_t index, const std::string& name, const char* reason) {
    if (reported.count(index) != 0) return;
    reported[index] = true;
    clear_progress();
    std::fprintf(stderr, "%s: %s\n", corvina::AnsiToUtf8(name).c_str(), reason);
  };
  services->OnUnknownMethod = [&] {
    if (current >= 0) report(current, zipper.FullName(current), "unsupported compression method");
  };
  zipper.OnStartUnZipInfo = [&](corvina::TComponent*, int32_t files, int64_t, bool&) { selected = files; };
  zipper.OnStartUnZip = [&](corvina::TComponent*, int32_t index, const std::string&, bool&) { current = index; };
  zipper.OnSkippingFile = [&](corvina::TComponent*, corvina::TSkipReason reason, const std::string& name,
                              int32_t index) {
    switch (reason) {
      case corvina::srBadPassword: report(index, name, "wrong or missing password"); break;
      case corvina::srNoOverwrite: report(index, name, "exists, kept"); break;
      case corvina::srFileOpenError: report(index, name, "not written (unsafe name or write failure)"); break;
    }
  };
  zipper.OnBadCRC = [&](corvina::TComponent*, int32_t, int32_t, int32_t index) {
    report(index, zipper.FullName(index), "bad CRC");
  };
  if (progress) {
    int32_t shown_percent = -1;
    zipper.OnTotalPercentDone = [&, shown_percent](corvina::TComponent*, int32_t percent) mutable {
      if (progress_shown && percent == shown_percent) return;
      std::fprintf(stderr, "\rextracting %3d%%", percent);
      shown_percent = percent;
      progress_shown = true;
    };
  }

  const int32_t extracted = zipper.UnZip();
  clear_progress();
  return reported.empty() && extracted == selected ? kExitOk : kExitNotAllExtracted;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return PrintUsage();
  const std::string name = argv[1];
  const Arguments args(argv + 2, argv + argc);
  for (const Command& c : kCommands) {
    if (name != c.name) continue;
    try {
      return c.run(args);
    } catch (const corvina::Exception& e) {
      std::fprintf(stderr, "%s\n", corvina::AnsiToUtf8(e.Message).c_str());
      return kExitFailure;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s\n", e.what());
      return kExitFailure;
    }
  }
  return PrintUsage();
}
