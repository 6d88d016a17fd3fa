// The uninstall log: the text file in InstallDir\UNINST that tells the external uninstaller what to
// say and which files to delete. Code page 1251 bytes, no byte-order mark, every line (the last one
// too) ending in CR LF. Line 1 is the header, the uninstaller's four texts each followed by "|";
// every further line is the full path of one file to delete.
//
// The run keeps the log's future content as its uninstall list (header first) and the finishing
// step saves it once. When an earlier installation left a log at the same place, that log's
// header and lines stay as they are, and only the paths it does not hold yet (compared without
// regard to case by the 1251 rules) are appended; its lines may end in CR LF, a lone CR or a lone LF.
//
// Choices a reader would not guess:
// - The log is written to a new file beside it and only then put in place of the old one, so a
//   write that fails part-way leaves the earlier installation's log whole (its files stay
//   uninstallable while this run is rolled back).
// - An earlier log that is empty has no header to keep; the list's header is written first then,
//   so the uninstaller never reads a path as its header.
// - A path holding CR or LF would read back as two lines, the second a file the uninstaller was
//   never meant to delete; such a path is left out of the log.
#pragma once

#include <string>
#include <vector>

namespace corvina {

// caption + "|" + question + "|" + removed + "|" + not-removed heading + "|".
std::string UninstallLogHeader(const std::string& caption, const std::string& question,
                               const std::string& removed, const std::string& kept_heading);

// install_dir + "\UNINST\" + log_name.
std::string UninstallLogPath(const std::string& install_dir, const std::string& log_name);

// The lines of a text: each ends at CR LF, a lone CR or a lone LF; a final line needs no ending.
std::vector<std::string> SplitLogLines(const std::string& text);

// Writes uninstall_list (its header first) to log_path, merging it into an earlier log there. False
// when the log could not be read or written; an earlier log is then left as it was.
bool SaveUninstallLog(const std::string& log_path, const std::vector<std::string>& uninstall_list);

}  // namespace corvina
