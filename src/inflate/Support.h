// Small routines the reader shares: progress percentages, head and tail of strings, the file-system
// helpers (through FileSystem(), so tests can put a fault-injecting one in front), and conversions
// between strings and zero-terminated character buffers.
//
// Percentages are computed exactly in integers: Done * 100 / Total rounded to the nearest integer
// with halves going to the even neighbour, which is what the floating-point rounding of the
// original computation gives, without the loss of precision doubles would have for 64-bit values.
// A Done above Total gives 100; a negative Done gives 0 (a progress value never goes below the
// start).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace corvina {

// Done as a percentage of Total, 0 when Total <= 0, at most 100.
int32_t Percentage(int32_t Total, int32_t Done);
int32_t BigPercentage(int64_t Total, int64_t Done);

// The last / first count characters of s (all of s when count >= its length, "" when count <= 0).
std::string TailOf(const std::string& s, int32_t count);
std::string HeadOf(const std::string& s, int32_t count);

// Creates the folder and every missing parent; failures of single creations are not reported.
void CreateDirTree(const std::string& path);
bool FileIsPresent(const std::string& name);
bool DirIsPresent(const std::string& path);
// The current folder of a drive (1 = A, 2 = B, ...; 0 = the current drive).
void DriveCurrentDir(int drive, std::string& path);
// The volume label of a root ("C:\"), at most 13 characters as the system's 14-byte buffer holds;
// "" when the volume cannot be asked.
void ReadVolumeLabel(const std::string& root, std::string& label);

// s = the characters of p up to its terminator ("" for a null pointer).
void TextFromZeroTerminated(const char* p, std::string& s);
// A new buffer of length + 1 characters holding s and a terminator; freed by its owner.
std::unique_ptr<char[]> ZeroTerminatedCopy(const std::string& s);
// s's characters with their terminator ("" for an empty string); valid while s is unchanged.
const char* ZeroTerminated(const std::string& s);

constexpr int32_t MinOf(int32_t a, int32_t b) { return a < b ? a : b; }
constexpr int32_t MaxOf(int32_t a, int32_t b) { return a > b ? a : b; }

}  // namespace corvina
