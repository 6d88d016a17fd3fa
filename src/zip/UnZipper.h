// TUnZipper, the ZIP reader as the rest of the program sees it: a non-visual component configured
// through properties, driven by UnZip, reporting through events. This header declares the whole
// component; its members are implemented in several files:
//   zip/UnZipper.cpp          construction, the property setters, the index and comment
//                             accessors, the default volume request;
//   zip/DirectoryLoader.cpp   OpenArchive, CloseArchive, ClearArchive, ReadDirectory,
//                             ScanLocalHeaders, SortDirectory;
//   zip/ExtractionDriver.cpp  UnZip and ExtractSelection;
//   inflate/ExtractEntry.cpp  ExtractEntry;
//   zip/SpannedArchive.cpp    OpenVolume, NextVolume and CheckVolumeLabel.
//
// Choices a reader would not guess:
// - The directory owns the entries; the sorted view is either the directory itself (SortMode
//   ByNone) or a second, non-owning list in SeparateView. SortedView() tells which, so the two can
//   never disagree about who frees what.
// - The "?" values of ZipName and DestDir open dialogs through the application services, so a
//   test answers them with a double. The file dialog gets its initial folder in the name it is
//   handed.
// - Comments are read on demand. ReadEntryComment and ReadArchiveComment do the reading on the
//   open archive and leave its position as it was, so the directory loader can use them in the
//   middle of the central directory; FileComment and ZipComment open and close the archive around
//   them.
// - The internal state (archive stream, directory, current entry, CRC register, keys, totals) is
//   public: the extraction run and the decoders work on it directly, as on the fields of a record.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "inflate/BufferStream.h"
#include "platform/Exception.h"
#include "zip/Containers.h"
#include "zip/ZipRecords.h"

namespace corvina {

class ExtractionState;

// The component framework's base as far as the reader needs it: an owner, the designing state of
// the form designer and the notification that the stored properties have been read.
class TComponent : public TPersistent {
public:
  explicit TComponent(TComponent* owner) : owner_(owner) {}
  const char* ClassName() const override { return "TComponent"; }
  TComponent* Owner() const { return owner_; }
  // True while the component sits in the form designer (csDesigning).
  bool Designing() const { return designing_; }
  void SetDesigning(bool designing) { designing_ = designing; }
  // Called once the stored properties of the form have been read.
  virtual void Loaded() {}

private:
  TComponent* owner_;
  bool designing_ = false;
};

// The reader's exceptions; each carries only its message.
class EBadZipFile : public Exception {
public:
  explicit EBadZipFile(std::string message) : Exception(std::move(message)) {}
};
class EIncompleteZip : public Exception {
public:
  explicit EIncompleteZip(std::string message) : Exception(std::move(message)) {}
};
class EUserCanceled : public Exception {
public:
  explicit EUserCanceled(std::string message) : Exception(std::move(message)) {}
};
class EFatalUnzipError : public Exception {
public:
  explicit EFatalUnzipError(std::string message) : Exception(std::move(message)) {}
};
class EBiggerThanUncompressed : public Exception {
public:
  explicit EBiggerThanUncompressed(std::string message) : Exception(std::move(message)) {}
};

inline constexpr const char* SBadZipFile = "Not a valid zip file!";
inline constexpr const char* SIncompleteZip = "Incomplete Zip File";
inline constexpr const char* SPrematureEnd = "Premature end of file reached";
inline constexpr const char* SBiggerThanUncompressed = "File is larger than uncompressed size!";
inline constexpr const char* SCanceledZipName = "User canceled setting zip file name.";
inline constexpr const char* SCanceledDestDir = "User canceled Set Desination Directory";
inline constexpr const char* SCanceledNewDisk = "User canceled loading new disk.";
inline constexpr const char* SIndexOutOfRange = "Index %d is out of range";
inline constexpr const char* SOpenZipTitle = "Open a Zip File";
inline constexpr const char* SOpenZipFilter =
    "Zip Files (*.ZIP)|*.zip|SFX Files (*.EXE)|*.exe|Jar Files (*.JAR)|*.jar|All Files (*.*)|*.*";

enum class TUZOverwriteMode : uint8_t { Prompt = 0, Always = 1, Never = 2 };
enum TIncompleteZipMode : uint8_t { izAssumeMulti = 0, izAssumeBad = 1 };
enum TSkipReason : uint8_t { srBadPassword = 0, srNoOverwrite = 1, srFileOpenError = 2 };
enum TVolumeMode : uint8_t { vmSingle = 0, vmDisks = 1, vmFiles = 2 };

// Events. Sender is the component that raises the event; var parameters are references.
using TStartUnZipInfoEvent =
    std::function<void(TComponent* Sender, int32_t NumFiles, int64_t TotalBytes, bool& StopNow)>;
using TPercentDoneEvent = std::function<void(TComponent* Sender, int32_t Percent)>;
using TStartUnZipEvent =
    std::function<void(TComponent* Sender, int32_t FileIndex, const std::string& FName, bool& Skip)>;
using TEndUnZipEvent = std::function<void(TComponent* Sender, int32_t FileIndex, const std::string& FName)>;
using TPromptForOverwriteEvent =
    std::function<void(TComponent* Sender, bool& OverWriteIt, int32_t FileIndex, std::string& FName)>;
using TSkippingFileEvent =
    std::function<void(TComponent* Sender, TSkipReason Reason, const std::string& FName, int32_t FileIndex)>;
using TBadPasswordEvent = std::function<void(TComponent* Sender, int32_t FileIndex, std::string& NewPassword)>;
using TBadCRCEvent =
    std::function<void(TComponent* Sender, int32_t CalcCRC, int32_t StoredCRC, int32_t FileIndex)>;
using TInCompleteZipEvent = std::function<void(TComponent* Sender, TIncompleteZipMode& IncompleteMode)>;
using TGetNextDiskEvent = std::function<void(TComponent* Sender, int32_t NextDisk, std::string& FName)>;

class TUnZipper : public TComponent {
public:
  static constexpr int32_t kThisVersion = 217;

  explicit TUnZipper(TComponent* owner);
  ~TUnZipper() override;
  TUnZipper(const TUnZipper&) = delete;
  TUnZipper& operator=(const TUnZipper&) = delete;

  const char* ClassName() const override { return "TUnZipper"; }
  void Loaded() override;

  // --- Published properties ---------------------------------------------------------------------
  int32_t ThisVersion() const { return this_version_; }
  // Ignores the value: the version is the component's own.
  void SetThisVersion(int32_t value);

  const std::string& ZipName() const { return zip_name_; }
  // A different name (ignoring case by the ANSI rules) forgets the loaded archive without reading
  // the new one; a name ending in "?" asks for the file (EUserCanceled when the user cancels).
  virtual void SetZipName(const std::string& value);

  const std::string& DestDir() const { return dest_dir_; }
  // "?" asks for the folder (EUserCanceled when the user cancels); one trailing "\" is dropped.
  void SetDestDir(const std::string& value);

  const std::string& RootDir() const { return root_dir_; }
  // Empty clears it; otherwise it is stored with a trailing "\".
  void SetRootDir(const std::string& value);

  TZipSortMode SortMode = TZipSortMode::ByNone;  // takes effect at the next load
  bool RecreateDirs = false;
  TUZOverwriteMode OverwriteMode = TUZOverwriteMode::Prompt;

  const std::vector<std::string>& FilesList() const { return files_list_; }
  std::vector<std::string>& FilesList() { return files_list_; }
  // The component keeps its own copy of the lines.
  void SetFilesList(const std::vector<std::string>& lines) { files_list_ = lines; }

  bool DoAll = false;
  TIncompleteZipMode IncompleteZipMode = izAssumeMulti;
  bool KeepZipOpen = false;
  bool DoProcessMessages = true;
  bool RetainAttributes = true;

  // --- Published events -------------------------------------------------------------------------
  TStartUnZipInfoEvent OnStartUnZipInfo;
  TPercentDoneEvent OnFilePercentDone;
  TPercentDoneEvent OnTotalPercentDone;
  TStartUnZipEvent OnStartUnZip;
  TEndUnZipEvent OnEndUnZip;
  TPromptForOverwriteEvent OnPromptForOverwrite;
  TSkippingFileEvent OnSkippingFile;
  TBadPasswordEvent OnBadPassword;
  TBadCRCEvent OnBadCRC;
  TInCompleteZipEvent OnInCompleteZip;
  TGetNextDiskEvent OnGetNextDisk;  // DefaultGetNextDisk unless another handler is installed

  // --- Public members ---------------------------------------------------------------------------
  std::string Password;

  // Loads the directory if needed and extracts the selection; the number of entries extracted.
  int32_t UnZip();

  // Number of entries in the directory, 0 when none is loaded.
  int32_t Count() const { return Directory ? Directory->Count() : 0; }
  // Entry Index of the sorted view; EListError "Index %d is out of range" outside 0..Count-1.
  std::string Filename(int32_t Index) const;
  std::string FullName(int32_t Index) const;
  // The entry's comment, read from the archive the first time it is asked for.
  std::string FileComment(int32_t Index);
  // The archive comment, read from the archive the first time it is asked for.
  std::string ZipComment();

  virtual bool GetCheckVolumeLabels() const { return check_volume_labels_; }
  virtual void SetCheckVolumeLabels(bool value) { check_volume_labels_ = value; }
  virtual TVolumeMode GetVolumeMode() const { return volume_mode_; }
  virtual void SetVolumeMode(TVolumeMode value) { volume_mode_ = value; }

  // The default OnGetNextDisk: prompts for disk NextDisk of a disk set, or names volume NextDisk
  // of a numbered file set (extension ".001", ".002", ...).
  void DefaultGetNextDisk(TComponent* Sender, int32_t NextDisk, std::string& FName);

  // --- Directory loading (DirectoryLoader.cpp) --------------------------------------------------
  void OpenArchive();
  void CloseArchive();
  void ClearArchive();
  void ReadDirectory();
  bool ScanLocalHeaders();
  void SortDirectory(TZipSortMode mode);

  // Frees the separate sorted view (when there is one) and the directory; both become none.
  void FreeDirectory();
  // The entries in the order of SortMode: the separate view when there is one, else the
  // directory itself; nullptr when nothing is loaded.
  TSortedZip* SortedView() const { return SeparateView ? SeparateView.get() : Directory.get(); }

  // Reads the entry's comment from its central record on the open archive (the position is put
  // back afterwards), stores it in the entry and returns it up to its first zero byte.
  std::string ReadEntryComment(TZipHeaderInfo& entry);
  // Reads the archive comment at the end record's CommentOffset on the open archive (the position
  // is put back afterwards), stores it and returns it up to its first zero byte.
  std::string ReadArchiveComment();

  // --- Extraction and spanned archives ---------------------------------------------------------
  int32_t ExtractSelection(TStream* stream);
  void ExtractEntry(int32_t FileIndex);
  // Makes volume n (1-based) the current archive and returns its stream.
  TLFNFileStream* OpenVolume(int32_t n);
  // The next-volume handler handed to TZipHeaderInfo::ReadCentral.
  void NextVolume(TZipHeaderInfo& entry, TStream*& stream);
  // True when the disk in the drive of ZipName is labelled as volume n (always for non-disk sets).
  bool CheckVolumeLabel(int32_t n);

  // --- Internal state ---------------------------------------------------------------------------
  std::unique_ptr<TLFNFileStream> ArchiveStream;  // the open archive or volume, or none
  double ArchiveDate = 0.0;  // modification time of that file when loaded; 0 when nothing is loaded
  std::unique_ptr<TSortedZip> Directory;     // archive order, owns the entries
  std::unique_ptr<TSortedZip> SeparateView;  // the sorted view when SortMode is not ByNone; shares them
  TEndCentral EndRecord;
  int32_t CurrentDisk = 0;                   // 0-based disk of ArchiveStream
  TZipHeaderInfo CurrentEntry;               // copy of the entry being extracted
  uint8_t LocalHeader[kLocalHeaderSize] = {};  // the local header of the entry being extracted
  uint32_t RunningCrc = 0xFFFFFFFFu;
  uint32_t Key0 = 0;
  uint32_t Key1 = 0;
  uint32_t Key2 = 0;
  int64_t TotalBytes = 0;  // unpacked bytes of the selection
  int64_t TotalDone = 0;   // bytes written in this run (retries counted again)
  ExtractionState* Run = nullptr;  // the extraction run in progress, or none

private:
  // Index check of the accessors; the entry of the sorted view at Index.
  TZipHeaderInfo& EntryAt(int32_t Index) const;

  int32_t this_version_ = kThisVersion;
  std::string zip_name_;
  std::string dest_dir_;
  std::string root_dir_;
  std::vector<std::string> files_list_;
  bool check_volume_labels_ = true;
  TVolumeMode volume_mode_ = vmSingle;
};

}  // namespace corvina
