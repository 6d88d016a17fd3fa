// Wildcard matching of entry names against the lines of a file list. The pattern language is the
// reader's own: "*" any run of characters, "?" any one character, "<...>" one character out of a set
// of characters and ranges ("<!...>" or "<^...>" negated), and "*<...>" a run of characters each
// admitted by the set. Only ASCII letters are folded to lower case; the backslash is an ordinary
// character, so a star runs across folder separators. Bytes compare as unsigned values.
//
// The matcher reports why a match failed (the outcome codes below), remembering the outcome of each
// pattern and text position so that many stars stay polynomial;
// only moMatch counts as a match. Positions in this interface count from 1, as in the algorithm the
// code follows line by line; every character read goes through one bounds-checked accessor, so a
// position past the end holds no character and nothing outside the pattern or the text is read.
//
// One deliberate extension: a "?" that ends the pattern right after a star (as in "*?" or "a*??")
// is tried as a match position by the search after the star, so such a pattern matches every text
// with enough characters after the star (the question marks take the last ones).
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string>

namespace corvina {

enum MatchOutcome : int {
  moMatch = 1,           // the pattern matches the whole text
  moPatternEnded = 2,    // the pattern ended while text remained
  moTextEnded = 3,       // the text ended first, a star's set refused a character, or no position fitted
  moSetRefused = 4,      // a one-character set refused the character
  moLiteralDiffers = 5,  // a literal character differed
  moMalformed = 6,       // an empty one-character set, a range without an end, or a set not closed
};

// The set that follows a star. Members holds the byte values the items name; an empty set admits
// every character, negated or not.
struct StarSet {
  std::bitset<256> Members;
  bool Negated = false;

  bool Empty() const { return Members.none(); }
  bool Admits(uint8_t c) const { return Empty() || Members.test(c) != Negated; }
};

// True when the pattern matches the whole text.
bool IsMatch(const std::string& pattern, const std::string& text);

// The outcome of matching the whole text against the pattern, moMatch to moMalformed.
int MatchPattern(const std::string& pattern, const std::string& text);

// The search after a star: pattern is the rest of the pattern after the star's set (or from the star
// itself when it has none), text the rest of the text; set is the star's set, or nullptr.
// Both strings must already be in lower case.
int MatchAfterStar(const std::string& pattern, const std::string& text, const StarSet* set);

// Reads the set of the star at position (from 1) of the pattern, whose next character is "<".
// On success position is the first character after the closing ">" and the result is true; a
// pattern that ends before the set is closed gives false (the match is then moMalformed).
bool ReadStarSet(const std::string& pattern, size_t& position, StarSet& set);

}  // namespace corvina
