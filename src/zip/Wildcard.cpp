// The wildcard engine. Positions count from 1 and every read goes through At, which gives kNone past
// either end, so the loops below can test characters without separate length checks and still never
// leave the strings.
#include "zip/Wildcard.h"

#include "platform/CodePage.h"

namespace corvina {

namespace {

constexpr int kNone = -1;  // the "character" at a position outside the string

int At(const std::string& s, size_t position) {
  if (position == 0 || position > s.size()) return kNone;
  return static_cast<uint8_t>(s[position - 1]);
}

// The part of s from position (from 1) on; empty past the end.
std::string From(const std::string& s, size_t position) {
  return position > s.size() ? std::string() : s.substr(position - 1);
}

// Matches the text against a pattern that is already in lower case.
int MatchLowered(const std::string& P, const std::string& T) {
  if (P == "*") return moMatch;

  const size_t lengthP = P.size();
  const size_t lengthT = T.size();
  size_t p = 1;
  size_t t = 1;
  int r = 0;

  while (r == 0 && p <= lengthP) {
    if (t > lengthT) {
      r = (At(P, p) == '*' && p == lengthP) ? moMatch : moTextEnded;
      break;
    }

    if (At(P, p) == '*') {
      StarSet set;
      const StarSet* starSet = nullptr;
      if (At(P, p + 1) == '<') {
        if (!ReadStarSet(P, p, set)) return moMalformed;
        starSet = &set;
      }
      return MatchAfterStar(From(P, p), From(T, t), starSet);
    }

    if (At(P, p) == '<') {
      ++p;
      bool negated = false;
      if (At(P, p) == '!' || At(P, p) == '^') {
        negated = true;
        ++p;
      }
      if (At(P, p) == '>') return moMalformed;  // "<>" admits nothing and is refused as malformed

      const int c = At(T, t);
      bool found = false;
      while (!found && At(P, p) != '>') {
        size_t lo = p;
        size_t hi = p;
        ++p;
        if (p > lengthP) return moMalformed;
        if (At(P, p) == '-') {
          ++p;
          hi = p;
          if (p > lengthP || At(P, hi) == '>') return moMalformed;
          ++p;
        }
        if (p > lengthP) return moMalformed;
        if (At(P, lo) <= c && c <= At(P, hi)) found = true;
      }
      if (found == negated) {
        r = moSetRefused;
        break;
      }
      if (found) {
        while (p <= lengthP && At(P, p) != '>') ++p;
        if (p > lengthP) return moMalformed;
      }
      ++p;  // past ">"
      ++t;
      continue;
    }

    if (At(P, p) != '?' && At(P, p) != At(T, t)) r = moLiteralDiffers;
    ++p;
    ++t;
  }

  if (r == 0) r = t > lengthT ? moMatch : moPatternEnded;
  return r;
}

}  // namespace

bool IsMatch(const std::string& pattern, const std::string& text) {
  return MatchPattern(pattern, text) == moMatch;
}

int MatchPattern(const std::string& pattern, const std::string& text) {
  return MatchLowered(LowerCase(pattern), LowerCase(text));
}

bool ReadStarSet(const std::string& P, size_t& p, StarSet& set) {
  set = StarSet{};
  p += 2;  // the first character after "<"
  if (At(P, p) == '^' || At(P, p) == '!') {
    set.Negated = true;
    ++p;
  }
  while (At(P, p) != '>') {
    if (p > P.size()) return false;  // the pattern ended inside the set
    if (At(P, p + 1) == '-') {
      const int lo = At(P, p);
      const int hi = At(P, p + 2);
      if (hi == kNone) return false;  // "x-" at the end: the range has no end and the set no ">"
      for (int c = lo; c <= hi; ++c) set.Members.set(static_cast<size_t>(c));
      p += 2;  // the range's end is taken even when it is ">"
    } else {
      set.Members.set(static_cast<size_t>(At(P, p)));
    }
    ++p;
  }
  ++p;  // past ">"
  return true;
}

int MatchAfterStar(const std::string& P, const std::string& T, const StarSet* set) {
  const size_t lengthP = P.size();
  const size_t lengthT = T.size();
  size_t p = 1;
  size_t t = 1;
  int r = 0;

  // Stars collapse; each "?" right after them takes the next text character before the star takes
  // any. The pattern's last character is left to the search below.
  while (At(P, p) == '*' || (At(P, p) == '?' && t <= lengthT && p < lengthP)) {
    if (At(P, p) == '?') ++t;
    ++p;
  }
  if (t > lengthT) return moTextEnded;
  if (lengthP > 0 && p > lengthP) return moMatch;

  // Try the text positions from left to right. A position is worth an attempt when the next
  // pattern character could match there: the same character, a set, or a final "?" (which matches
  // any character; without it "*?" would match nothing). Positions the attempt does not match are
  // taken by the star, so a star with a set stops at the first character the set refuses.
  // The pattern position stays fixed: the attempts match P from p on against T from t on.
  bool attempted = false;
  for (;;) {
    const int pc = At(P, p);
    if (lengthP > 0 && (pc == At(T, t) || pc == '<' || pc == '?')) {
      r = MatchLowered(From(P, p), From(T, t));
      attempted = true;
    }
    if (t > lengthT) return moTextEnded;
    if (r != moMatch && set != nullptr && !set->Empty() && !set->Admits(static_cast<uint8_t>(At(T, t)))) {
      return moTextEnded;
    }
    ++t;
    if (r == moMatch || t > lengthT) break;
  }

  if (p > lengthP && t > lengthT) return moMatch;
  return attempted ? r : moTextEnded;
}

}  // namespace corvina
