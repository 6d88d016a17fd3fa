// The finishing step's texts: the final report of a run that placed every entry. Without problems
// it says the installation succeeded, where the shortcuts went (when there are shortcuts and the
// Start-menu option is on) and, when the post-install program will be started, the package's note
// about it. With problems it lists the files not replaced, the files not created, and either the
// group that could not be made or the shortcuts that failed, then advises to restart and install
// again. The finishing step itself is TInstallationRun::FinishInstallation; it ends the program
// with exit status 0 when it finished without problems and 3 when its message listed problems.
#pragma once

#include <string>

namespace corvina {

// The failure texts as the run collects them: items "\"path\", " (UpdateFailures, CreateFailures,
// LinkFailures) and one complete line (GroupFailure).
struct TFailureTexts {
  std::string UpdateFailures;
  std::string CreateFailures;
  std::string LinkFailures;
  std::string GroupFailure;
  bool Any() const { return !(UpdateFailures + CreateFailures + GroupFailure + LinkFailures).empty(); }
};

// A non-empty item list without its last ", ", between heading and ".\r\n"; "" stays "".
std::string WrapFailureList(const std::string& heading, const std::string& list);

// The group name: MenuGroup without its leading backslash, at most 100 characters.
std::string GroupName();

// The final message for these failures; will_run says that the post-install program is to be
// started (SetupNote is added to a message without problems).
std::string ComposeFinalMessage(const TFailureTexts& failures, bool will_run);

// Whether the post-install program is to be started (when there are no problems): SetupProgram is
// set, exists, and the Run option is on.
bool PostInstallProgramReady();

}  // namespace corvina
