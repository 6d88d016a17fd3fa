#include "ui/InstF2.h"

#include "app/Folders.h"
#include "app/SetupDefinition.h"
#include "platform/AppServices.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/Strings.h"

namespace corvina {

TInstF2* InstF2 = nullptr;

namespace {

// A break line ends the pending paragraph: an empty line, or one whose text (blanks and control
// characters at both ends dropped) starts with "-" or "*", or whose first nine characters spell
// "COPYRIGHT" in any case of the Latin letters.
bool IsBreakLine(const std::string& line) {
  if (line.empty()) return true;
  const std::string text = Trim(line);
  if (!text.empty() && (text[0] == '-' || text[0] == '*')) return true;
  return UpperCase(text.substr(0, 9)) == "COPYRIGHT";
}

}  // namespace

std::vector<std::string> SplitTextLines(const std::string& content) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back(content.substr(start));
      break;
    }
    size_t length = end - start;
    if (length > 0 && content[end - 1] == '\r') --length;
    lines.push_back(content.substr(start, length));
    start = end + 1;
  }
  return lines;
}

std::vector<std::string> ReflowTextLines(const std::vector<std::string>& lines) {
  std::vector<std::string> memo;
  std::string pending;
  for (const std::string& line : lines) {
    if (!IsBreakLine(line)) {
      if (pending.empty()) pending = line;
      else pending += " " + Trim(line);
      continue;
    }
    if (!pending.empty()) memo.push_back(pending);
    if (line.empty()) memo.emplace_back();
    pending = line;
  }
  if (!pending.empty()) memo.push_back(pending);
  return memo;
}

void TInstF2::ShowTextFile(int32_t kind) {
  std::string file_name;
  if (kind == 1) {
    view_->SetCaption(Utf8ToAnsi("Описание ") + ProductNounGenitive + Utf8ToAnsi(" [файл readme.txt]"));
    file_name = StartDir + "\\readme.txt";
  } else if (kind == 2) {
    view_->SetCaption(Utf8ToAnsi("Лицензионное соглашение [файл license.txt]"));
    file_name = StartDir + "\\license.txt";
  } else {
    return;
  }
  IFileSystem& fs = FileSystem();
  if (!fs.FileExists(file_name)) return;

  // Read the whole file first, so that a read error leaves the viewer as it was and unshown.
  std::string error;
  std::string content;
  bool read_ok = false;
  if (std::unique_ptr<FileHandle> file = fs.Open(file_name, OpenMode::Read, error)) {
    read_ok = true;
    char buffer[8192];
    for (;;) {
      const int64_t got = file->Read(buffer, sizeof buffer);
      if (got < 0) {
        read_ok = false;
        break;
      }
      if (got == 0) break;
      content.append(buffer, static_cast<size_t>(got));
    }
  }
  if (!read_ok) {
    AppServices().MessageDlg(
        Utf8ToAnsi("Не удается прочитать файл \"") + file_name + "\".", MsgDlgType::mtError, {MsgDlgBtn::mbOK});
    return;
  }

  view_->MemoClear();
  for (const std::string& line : ReflowTextLines(SplitTextLines(content))) view_->MemoAdd(line);
  view_->ShowModal();
}

}  // namespace corvina
