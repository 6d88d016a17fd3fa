#include "install/PathMacros.h"

#include "app/Folders.h"
#include "app/SetupDefinition.h"
#include "platform/CodePage.h"
#include "platform/Strings.h"

namespace corvina {
namespace {

// Replaces every occurrence of macro (upper-case ASCII) in text, ignoring ASCII case, by value.
// The search resumes after each inserted value.
std::string ReplaceMacro(const std::string& text, const std::string& macro, const std::string& value) {
  std::string result = text;
  size_t from = 0;
  for (;;) {
    const std::string folded = UpperCase(result);
    const size_t at = folded.find(macro, from);
    if (at == std::string::npos) return result;
    result.replace(at, macro.size(), value);
    from = at + value.size();
  }
}

}  // namespace

std::string ExpandInstallDir(const std::string& text, const std::string& folder) {
  return ReplaceMacro(text, "%INSTALLDIR%", folder);
}

std::string ExpandInstallDir(const std::string& text) { return ExpandInstallDir(text, InstallDir); }

std::string ExpandStartDir(const std::string& text, const std::string& folder) {
  return ReplaceMacro(text, "%STARTDIR%", folder.size() == 2 ? folder + "\\" : folder);
}

std::string ExpandStartDir(const std::string& text) { return ExpandStartDir(text, StartDir); }

void ExpandConfiguredPaths() {
  SetupProgram = ExpandInstallDir(SetupProgram);
  SetupWorkDir = ExpandInstallDir(SetupWorkDir);
  SetupOptions.Params = Trim(ExpandStartDir(ExpandInstallDir(SetupOptions.Params)));
  if (!SetupOptions.Params.empty()) SetupParams = SetupOptions.Params;
  else SetupParams = ExpandInstallDir(SetupParams);
  for (int32_t i = 0; i < CreatedDirCount; ++i) CreatedDirs[i] = ExpandInstallDir(CreatedDirs[i]);
  for (int32_t i = 0; i < ShortcutCount; ++i) {
    TLink& link = Shortcuts[i];
    link.Target = ExpandInstallDir(link.Target);
    link.Arguments = ExpandInstallDir(link.Arguments);
    link.WorkDir = ExpandInstallDir(link.WorkDir);
    link.Folder = ExpandInstallDir(link.Folder);
  }
  for (int32_t i = 0; i < FileAssociationCount; ++i)
    FileAssociations[i].ProgramDir = ExpandInstallDir(FileAssociations[i].ProgramDir);
}

}  // namespace corvina
