// The installation run of the progress window: it expands the configured paths, configures the
// unzip component (fixed password, staging folder InstallDir\TEMP, folders recreated, every entry
// overwritten, all entries), prepares the folders, starts the uninstall list and extracts each data
// volume. The component's end-of-entry event places each file (Placement.cpp); the last entry of
// the last volume runs the finishing step (Completion.cpp). A run that ends without finishing is
// rolled back by AbortInstallation and the program ends with exit status 1.
//
// Choices a reader would not guess:
// - Nothing that was there before the run is lost by a failed run. Before a placement deletes an
//   existing destination it keeps a copy of it (content, date, attributes) in UNINST\KEPT, outside
//   the staging folder that the finishing step removes before the log is written. The rollback
//   deletes only what this run placed (also in the system folder, which the uninstall list never
//   names; never the extra uninstall entries) and puts every kept file back. A file that cannot be
//   put back stays where it was kept, and the rollback's message names it. Once Finished is set
//   the kept copies are removed.
// - An entry that fails its check (wrong CRC, password that does not fit, a method that cannot be
//   decoded, a file that cannot be written) would otherwise vanish without a word; here the
//   component's OnBadCRC and OnSkippingFile end the volume loop, so the run ends as a read failure
//   naming that volume.
// - Failing to create UNINST or TEMP ends the run in the same way, so the progress window never
//   stays open with nothing to close it.
// - A last volume whose extraction returned normally without the finishing step having run (its
//   last entry was a folder entry, which raises no end-of-entry event) is finished all the same,
//   provided it has entries and none failed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace corvina {

class IProgressWindowView;
class TComponent;
class TUnZipper;

// The password of the data volumes.
inline constexpr const char* kArchivePassword = "5837261049372617804938271650493827";

// The number (from 1) of the data volume being extracted.
extern int32_t CurrentVolume;

// InstallDir + "\TEMP" and InstallDir + "\UNINST".
std::string StagingDir();
std::string UninstallDir();
// Where replaced files are kept until the run has finished: UninstallDir() + "\KEPT".
std::string KeptFilesDir();

// Removes the read-only attribute of a file when it has it; nothing is reported.
void ClearReadOnly(const std::string& path);
// Deletes the folder's files and subfolders, then the folder; failures are passed over, and
// read-only files are not made writable (they stay, and so do their folders).
void DeleteTree(const std::string& folder);

// The read-failure message for a volume: "... испорчен файл <DataName><suffix>.\r\n...".
std::string ReadFailureMessage(int32_t volume);

// A destination that a placement replaced: where its earlier content is kept, and the earlier
// file's attributes and DOS date-time, to put it back if the run fails.
struct TKeptFile {
  std::string Destination;
  std::string Copy;
  int32_t Attributes = 0;
  int32_t DosDateTime = -1;
};

// One installation run, driven by the progress window.
class TInstallationRun {
public:
  explicit TInstallationRun(IProgressWindowView& view);
  ~TInstallationRun();
  TInstallationRun(const TInstallationRun&) = delete;
  TInstallationRun& operator=(const TInstallationRun&) = delete;

  // The progress window's activation: the whole run, from the path expansion to the end.
  void FormShow();
  void UnZipper1TotalPercentDone(TComponent* Sender, int32_t Percent);
  void UnZipper1EndUnZip(TComponent* Sender, int32_t FileIndex, const std::string& FName);
  // Reports the read failure, rolls back and ends the program with status 1.
  void AbortInstallation();

  // Placement (Placement.cpp): one entry N from the staging folder to its destination.
  void PlaceFile(const std::string& N);
  // The finishing step (Completion.cpp).
  void FinishInstallation();

  // The progress bar.
  void SetProgress(int32_t position);
  int32_t Progress() const { return progress_; }
  int32_t ProgressMax() const { return progress_max_; }

  std::unique_ptr<TUnZipper> UnZipper1;
  // The future uninstall log: header line, extra entries, placed files, self copy, shortcuts.
  std::unique_ptr<std::vector<std::string>> UninstallList;
  std::string UpdateFailures;
  std::string CreateFailures;
  std::string LinkFailures;
  std::string GroupFailure;
  bool Finished = false;

  // Every destination this run placed, in the installation and the system folder.
  std::vector<std::string> PlacedFiles;
  // Destinations replaced by this run, with their earlier content kept aside.
  std::vector<TKeptFile> KeptFiles;

private:
  friend class TInstallationRunAccess;
  // Copies an existing destination aside before it is replaced; false when no copy could be made.
  bool KeepEarlierFile(const std::string& destination);
  // Forgets the kept copy of a destination that was not replaced after all.
  void DropKeptFile(const std::string& destination);
  bool WasPlaced(const std::string& destination) const;
  // Puts one kept file back at once (its destination was deleted and could not be replaced);
  // the destination then holds the earlier file again and counts as not placed.
  void RestoreKeptFile(const std::string& destination);
  // Deletes the kept copies once the run has finished.
  void RemoveKeptFiles();
  // Puts the kept files back; the destinations that could not be restored.
  std::vector<std::string> RestoreKeptFiles();
  // The finishing step's parts served by the uninstall log and shortcut modules (Completion.cpp).
  void MakeAssociationsAndShortcuts();
  void WriteUninstallLog();
  void StartPostInstallProgram();
  // The component's failure events: end the volume loop.
  void EntryFailed(int32_t FileIndex);

  IProgressWindowView& view_;
  int32_t progress_ = 0;
  int32_t progress_max_ = 100;
  int32_t kept_serial_ = 0;
  bool entry_failed_ = false;
  // Index of the first shortcut line of UninstallList (the finishing step sets it before it makes
  // links); 0 while none were made, since line 0 is the header.
  size_t links_from_ = 0;
};

}  // namespace corvina
