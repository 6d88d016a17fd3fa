// The extraction driver: UnZip loads the directory, ExtractSelection marks the entries to extract
// (DoAll, directory entries with RecreateDirs, the FilesList patterns), announces the selection
// with OnStartUnZipInfo, has each marked entry extracted by ExtractEntry (again when a new password
// asks for a retry) and returns how many entries counted as extracted.
//
// Choices a reader would not guess:
// - The run (work buffers, counters, the output file of the entry in progress) is an
//   ExtractionState on the stack, published to ExtractEntry and the decoders through Run for the
//   duration of the call; Run is cleared and a changed sort order put back on every way out.
// - A volume set is extracted in archive order whatever SortMode says, so each volume is asked for
//   once; during the call every FileIndex refers to that order.
// - The patterns and the names are lowered by the ASCII rule only, as the matcher folds only ASCII
//   letters: Cyrillic names match by their exact case.
#include <cstdint>
#include <string>
#include <vector>

#include "inflate/ExtractionState.h"
#include "inflate/Support.h"
#include "platform/CodePage.h"
#include "platform/Exception.h"
#include "platform/FileSystem.h"
#include "zip/UnZipper.h"
#include "zip/Wildcard.h"

namespace corvina {
namespace {

// Marks the selection, announces it and extracts it; the number of entries that count as extracted.
int32_t ExtractMarked(TUnZipper& zip, ExtractionState& run) {
  zip.TotalBytes = 0;
  zip.TotalDone = 0;
  const int32_t count = zip.Count();
  run.ExtractedCount = count;
  std::vector<std::string> patterns;
  patterns.reserve(zip.FilesList().size());
  for (const std::string& line : zip.FilesList()) patterns.push_back(LowerCase(line));

  for (int32_t i = 0; i < count; ++i) {
    TZipHeaderInfo& entry = *zip.SortedView()->Entry(i);
    entry.Marked = zip.DoAll;
    if (entry.EntryName().empty() && !zip.RecreateDirs) {
      entry.Marked = false;
      --run.ExtractedCount;
      continue;
    }
    const std::string name = LowerCase(entry.EntryDir() + entry.EntryName());
    for (const std::string& pattern : patterns) {
      if (IsMatch(pattern, name)) {
        entry.Marked = true;
        break;
      }
    }
    if (entry.Marked) zip.TotalBytes += entry.UnpackedSize;
    else --run.ExtractedCount;
  }

  bool stop = false;
  if (zip.OnStartUnZipInfo) zip.OnStartUnZipInfo(&zip, run.ExtractedCount, zip.TotalBytes, stop);

  if (run.ExtractedCount > 0 && !stop) {
    for (int32_t i = 0; i < count; ++i) {
      if (!zip.DoAll && !zip.SortedView()->Entry(i)->Marked) continue;
      do {
        zip.ExtractEntry(i);
      } while (run.RetryEntry);
    }
  }
  return run.ExtractedCount;
}

}  // namespace

int32_t TUnZipper::UnZip() {
  if (DestDir() == "?") return 0;
  OpenArchive();
  const int32_t result = ExtractSelection(ArchiveStream.get());
  CloseArchive();
  return result;
}

int32_t TUnZipper::ExtractSelection(TStream* stream) {
  ExtractionState run(*this);
  run.ArchiveStream = stream;
  run.OpenNextVolume = [this](int32_t volume) -> TStream* { return OpenVolume(volume); };

  // Run is published for the call and cleared on every way out.
  struct RunScope {
    TUnZipper& zip;
    RunScope(TUnZipper& z, ExtractionState& r) : zip(z) { zip.Run = &r; }
    ~RunScope() { zip.Run = nullptr; }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;
  } scope(*this, run);

  if (!DestDir().empty() && !DirIsPresent(DestDir()) && !ForceDirectories(DestDir()))
    throw EInOutError(Format("Unable to create directory %s", {DestDir()}));

  if (EndRecord.ThisDisk == 0 || SortMode == TZipSortMode::ByNone) return ExtractMarked(*this, run);
  // A volume set goes in archive order; the caller's order comes back afterwards, also when an
  // exception passes.
  const TZipSortMode remembered = SortMode;
  SortDirectory(TZipSortMode::ByNone);
  int32_t result = 0;
  try {
    result = ExtractMarked(*this, run);
  } catch (...) {
    SortDirectory(remembered);
    throw;
  }
  SortDirectory(remembered);
  return result;
}

}  // namespace corvina
