// zipread: the ZIP reader as a command-line tool. `zipread list ARCHIVE` loads the archive's
// directory through the unzip component and prints one line per entry in the directory's order:
// unpacked size, packed size, method, CRC-32 (eight lowercase hex digits) and the full name in
// UTF-8, separated by single spaces.
//
// Commands live in one table (name, usage line, handler), so a new command is one more row.
// ARCHIVE is a host path; the reader sees it under its Windows name. Exit status: 0 on success,
// 2 for a usage error or an archive the reader refuses (its message goes to standard error).
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "platform/CodePage.h"
#include "platform/Exception.h"
#include "platform/FileSystem.h"
#include "zip/UnZipper.h"
#include "zip/ZipRecords.h"

namespace {

using corvina::TUnZipper;
using corvina::TZipHeaderInfo;

constexpr int kExitOk = 0;
constexpr int kExitFailure = 2;

using Arguments = std::vector<std::string>;

struct Command {
  const char* name;
  const char* usage;
  int (*run)(const Arguments& args);  // the arguments after the command's name
};

int ListArchive(const Arguments& args);

const Command kCommands[] = {
    {"list", "zipread list ARCHIVE", ListArchive},
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
