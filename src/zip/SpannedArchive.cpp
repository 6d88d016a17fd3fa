// Spanned archives: moving TUnZipper from one volume of a split archive to another. A set is either
// one volume per removable disk, each under the archive's own name and told apart by the disk's
// label ("BACKUP 001", "BACKUP 002", ...), or numbered files side by side (archive.001,
// archive.002, ...). OpenVolume asks the OnGetNextDisk handler for the name of the volume wanted,
// checks the label on a disk set, opens the file and makes it the component's archive; the
// directory loaded from the last volume stays. NextVolume is the form the central directory
// reader calls when a record runs on past the end of a volume.
//
// Choices a reader would not guess:
// - A request always ends. A handler is asked again when its file is missing or its disk has the
//   wrong label, but a pass that finds exactly what the pass before found (the same missing name,
//   or the same name on a disk with the same wrong label) shows that nothing is going to change:
//   the request then ends as a cancelled one. So the default handler of a numbered set, which
//   names the same file on every pass, names a missing volume once more and stops, while a user
//   at the disk prompt can swap disks as often as needed.
// - A volume beyond the last one (the number in the end record) is never asked for: data or a
//   record that runs on past the last volume is a premature end of the archive, not a disk to
//   insert, and a damaged start disk cannot make the user hunt for disk 40000.
// - A drive that reports no label fails the label check: an unlabelled disk cannot be told to
//   belong to the set. The label is read from the drive of the name about to be opened, which is
//   the drive of ZipName for the default handler.
// - Labels are compared on their last characters, as many as the volume number has digits (three
//   up to disk 999), case-sensitively, after keeping at most 11 characters of the label.
#include <cstdint>
#include <memory>
#include <string>

#include "inflate/BufferStream.h"
#include "inflate/Support.h"
#include "platform/CodePage.h"
#include "platform/Exception.h"
#include "platform/FileSystem.h"
#include "platform/Stream.h"
#include "zip/Containers.h"
#include "zip/UnZipper.h"

namespace corvina {

namespace {

// A volume label as the file system keeps it holds at most this many characters.
constexpr size_t kMaxLabelLength = 11;

// n with at least three digits, zero-padded: 001, 002, ... 999, 1000.
std::string VolumeNumber(int32_t n) { return Format("%3.3d", {static_cast<int64_t>(n)}); }

// True when the disk in the drive of file_name is labelled as volume n.
bool DiskLabelledAs(const std::string& file_name, int32_t n) {
  const std::string root = UpperCase(file_name.substr(0, 3));
  std::string label;
  ReadVolumeLabel(root, label);
  if (label.size() > kMaxLabelLength) label.resize(kMaxLabelLength);
  const std::string number = VolumeNumber(n);
  return label.size() >= number.size() && label.compare(label.size() - number.size(), number.size(), number) == 0;
}

// The modification time of an open volume in days since 30 December 1899; 0 when the platform
// cannot tell it (the same measure the directory loader takes of the archive).
double VolumeFileDate(TLFNFileStream& stream) {
  double days = 0.0;
  if (!DosDateTimeToDateTime(static_cast<uint32_t>(stream.Handle().GetDate()), days)) return 0.0;
  return days;
}

// What one pass of a volume request found wrong with the handler's answer; two equal passes in a
// row end the request.
struct RejectedAnswer {
  std::string name;
  bool wrong_label = false;  // else the file is missing
  std::string label;         // the drive's label, for a wrong label

  bool operator==(const RejectedAnswer&) const = default;
};

}  // namespace

bool TUnZipper::CheckVolumeLabel(int32_t n) {
  if (GetVolumeMode() != vmDisks) return true;
  return DiskLabelledAs(ZipName(), n);
}

TLFNFileStream* TUnZipper::OpenVolume(int32_t n) {
  if (n < 1 || (EndRecord.ThisDisk > 0 && n > EndRecord.ThisDisk + 1)) throw EFatalUnzipError(SPrematureEnd);
  ArchiveStream.reset();

  std::string name = ZipName();
  bool have_rejected = false;
  RejectedAnswer previous;
  for (;;) {
    if (OnGetNextDisk) OnGetNextDisk(this, n, name);
    else DefaultGetNextDisk(this, n, name);
    if (name.empty()) throw EUserCanceled(SCanceledNewDisk);

    RejectedAnswer rejected{name, false, std::string()};
    if (GetCheckVolumeLabels() && GetVolumeMode() == vmDisks && !DiskLabelledAs(name, n)) {
      rejected.wrong_label = true;
      ReadVolumeLabel(UpperCase(name.substr(0, 3)), rejected.label);
    } else if (FileSystem().FileExists(name)) {
      break;
    }
    if (have_rejected && rejected == previous) throw EUserCanceled(SCanceledNewDisk);
    previous = std::move(rejected);
    have_rejected = true;
  }

  ArchiveStream = std::make_unique<TLFNFileStream>(name, fmOpenRead);
  CurrentDisk = n - 1;
  ArchiveDate = VolumeFileDate(*ArchiveStream);
  // Stored directly: setting the name through SetZipName would forget the loaded directory.
  zip_name_ = name;
  return ArchiveStream.get();
}

void TUnZipper::NextVolume(TZipHeaderInfo&, TStream*& stream) { stream = OpenVolume(CurrentDisk + 2); }

}  // namespace corvina
