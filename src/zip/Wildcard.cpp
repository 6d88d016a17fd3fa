// The wildcard engine. Positions count from 1 and every read goes through At, which gives kNone past
// either end, so the loops below can test characters without separate length checks and still never
// leave the strings.
//
// The engine recurses at every star: the search after a star tries each text position, and each try
// runs the rest of the pattern, which meets the next star. Every such call works on a suffix of the
// pattern and a suffix of the text, so its outcome depends only on where the two suffixes start.
// A Matcher therefore remembers the outcome of each (pattern position, text position) it has matched,
// and for each star the result of its search from each text position, computed from the end of the
// text backwards. Without that, a pattern such as "*a*a*a*a*a*a*a*a*a*a*b" against a run of "a"s
// takes time exponential in the number of stars; with it the work is bounded by the product of the
// lengths. The outcomes are exactly those of the plain recursion.
#include "zip/Wildcard.h"

#include <map>
#include <vector>

#include "platform/CodePage.h"

namespace corvina {

namespace {

constexpr int kNone = -1;  // the "character" at a position outside the string

int At(const std::string& s, size_t position) {
  if (position == 0 || position > s.size()) return kNone;
  return static_cast<uint8_t>(s[position - 1]);
}

// One match of a pattern (already in lower case) against a text, with the outcomes remembered.
// Positions are absolute positions (from 1) in the whole pattern and text; a call "from p, t"
// stands for the plain engine run on the suffixes that start there.
class Matcher {
public:
  Matcher(const std::string& pattern, const std::string& text) : P(pattern), T(text) {}

  // The outcome of the pattern from p against the text from t.
  int Lowered(size_t p, size_t t) {
    if (t > T.size() + 1) t = T.size() + 1;
    if (p > P.size() + 1) p = P.size() + 1;
    if (lowered_.empty()) lowered_.assign((P.size() + 2) * (T.size() + 2), 0);
    uint8_t& memo = lowered_[p * (T.size() + 2) + t];
    if (memo == 0) memo = static_cast<uint8_t>(LoweredUncached(p, t));
    return memo;
  }

  // The search after a star: the pattern from a (the star, or the first character after its set)
  // against the text from t, with the star's set or nullptr.
  int AfterStar(size_t a, size_t t, const StarSet* set) {
    size_t p = a;
    // Stars collapse; each "?" right after them takes the next text character before the star takes
    // any. The pattern's last character is left to the search below.
    while (At(P, p) == '*' || (At(P, p) == '?' && t <= T.size() && p < P.size())) {
      if (At(P, p) == '?') ++t;
      ++p;
    }
    if (t > T.size()) return moTextEnded;
    const bool pattern_left = a <= P.size();
    if (pattern_left && p > P.size()) return moMatch;

    const int scan = Search(a, p, t, set, pattern_left);
    switch (scan) {
      case kFoundMatch: return moMatch;
      case kRefused: return moTextEnded;
      case kNoAttempt: return p > P.size() ? moMatch : moTextEnded;
      default: return p > P.size() ? moMatch : scan - kLastAttempt;
    }
  }

private:
  // Results of the search from one text position, as remembered: a position where the rest of the
  // pattern matched, a character the star's set refused, or the end of the text reached with the
  // outcome of the last position tried (kLastAttempt + outcome) or with none tried.
  enum : uint8_t { kUnknown = 0, kFoundMatch = 1, kRefused = 2, kNoAttempt = 3, kLastAttempt = 10 };

  // The search of the star whose suffix starts at a (rest of the pattern from p) from text position
  // t on. The search from t is decided at t, or else by the search from t + 1, so the results are
  // filled in from the end of the text down to t.
  int Search(size_t a, size_t p, size_t t, const StarSet* set, bool pattern_left) {
    SearchTable& search = searches_[a];
    std::vector<uint8_t>& table = search.results;
    if (table.empty()) {
      table.assign(T.size() + 2, kUnknown);
      search.lowest = T.size() + 1;
    }
    for (size_t u = search.lowest - 1; u >= t; --u) {
      const int pc = At(P, p);
      int r = 0;
      const bool attempt = pattern_left && (pc == At(T, u) || pc == '<' || pc == '?');
      if (attempt) r = Lowered(p, u);
      uint8_t result;
      if (r == moMatch) {
        result = kFoundMatch;
      } else if (set != nullptr && !set->Empty() && !set->Admits(static_cast<uint8_t>(At(T, u)))) {
        result = kRefused;
      } else if (u == T.size()) {
        result = attempt ? static_cast<uint8_t>(kLastAttempt + r) : static_cast<uint8_t>(kNoAttempt);
      } else {
        result = table[u + 1];
        if (result == kNoAttempt && attempt) result = static_cast<uint8_t>(kLastAttempt + r);
      }
      table[u] = result;
      search.lowest = u;
    }
    return table[t];
  }

  int LoweredUncached(size_t p, size_t t) {
    if (p == P.size() && At(P, p) == '*') return moMatch;  // the rest of the pattern is "*"

    int r = 0;
    while (r == 0 && p <= P.size()) {
      if (t > T.size()) {
        r = (At(P, p) == '*' && p == P.size()) ? moMatch : moTextEnded;
        break;
      }

      if (At(P, p) == '*') {
        StarSet set;
        const StarSet* starSet = nullptr;
        if (At(P, p + 1) == '<') {
          if (!ReadStarSet(P, p, set)) return moMalformed;
          starSet = &set;
        }
        return AfterStar(p, t, starSet);
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
          if (p > P.size()) return moMalformed;
          if (At(P, p) == '-') {
            ++p;
            hi = p;
            if (p > P.size() || At(P, hi) == '>') return moMalformed;
            ++p;
          }
          if (p > P.size()) return moMalformed;
          if (At(P, lo) <= c && c <= At(P, hi)) found = true;
        }
        if (found == negated) {
          r = moSetRefused;
          break;
        }
        if (found) {
          while (p <= P.size() && At(P, p) != '>') ++p;
          if (p > P.size()) return moMalformed;
        }
        ++p;  // past ">"
        ++t;
        continue;
      }

      if (At(P, p) != '?' && At(P, p) != At(T, t)) r = moLiteralDiffers;
      ++p;
      ++t;
    }

    if (r == 0) r = t > T.size() ? moMatch : moPatternEnded;
    return r;
  }

  const std::string& P;
  const std::string& T;
  std::vector<uint8_t> lowered_;  // outcome + 0 for each (p, t); 0 = not yet matched
  struct SearchTable {
    std::vector<uint8_t> results;  // the search from each text position; known from lowest on
    size_t lowest = 0;
  };
  std::map<size_t, SearchTable> searches_;  // per star suffix
};

}  // namespace

bool IsMatch(const std::string& pattern, const std::string& text) {
  return MatchPattern(pattern, text) == moMatch;
}

int MatchPattern(const std::string& pattern, const std::string& text) {
  const std::string P = LowerCase(pattern);
  const std::string T = LowerCase(text);
  if (P == "*") return moMatch;
  Matcher matcher(P, T);
  return matcher.Lowered(1, 1);
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

int MatchAfterStar(const std::string& pattern, const std::string& text, const StarSet* set) {
  Matcher matcher(pattern, text);
  return matcher.AfterStar(1, 1, set);
}

}  // namespace corvina
