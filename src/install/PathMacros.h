// The two path macros of the setup definition and the options file: "%InstallDir%" (the folder the
// user chose) and "%STARTDIR%" (the folder of the running setup program). Both are matched without
// regard to the case of the ASCII letters only, so a position in the folded text is the same
// position in the 1251 text. Every occurrence is replaced; the search goes on after each inserted
// folder, so a folder whose own name holds the macro text cannot make the expansion run forever.
// ExpandConfiguredPaths is the run's first step: it rewrites the configured values in place, once.
#pragma once

#include <string>

namespace corvina {

// text with every "%INSTALLDIR%" (any ASCII case) replaced by `folder`.
std::string ExpandInstallDir(const std::string& text, const std::string& folder);
// The same with InstallDir.
std::string ExpandInstallDir(const std::string& text);

// text with every "%STARTDIR%" (any ASCII case) replaced by `folder`; a bare drive ("D:") is
// inserted with its backslash ("D:\").
std::string ExpandStartDir(const std::string& text, const std::string& folder);
// The same with StartDir.
std::string ExpandStartDir(const std::string& text);

// Expands, in this order: SetupProgram, SetupWorkDir, the options file's Params (both macros, then
// trimmed; a non-empty result replaces SetupParams, otherwise SetupParams is expanded), the
// CreatedDirs entries, the shortcut rows' Target, Arguments, WorkDir and Folder (not LinkName),
// and the associations' ProgramDir. "%STARTDIR%" is replaced in Params only.
void ExpandConfiguredPaths();

}  // namespace corvina
