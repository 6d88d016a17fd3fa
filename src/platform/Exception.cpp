// Format, the class library's message formatter, for the placeholders the program's messages use.
// Each placeholder is %[-][width][.precision]type with type s, d, u or x (X is the same as x) and
// takes the next argument. For a number the precision is the least count of digits, padded with
// zeros ("%3.3d" of 7 is "007"); for a text it is the most characters kept. The width pads with
// blanks on the left, or on the right after "-". Hexadecimal digits are upper case. A negative
// number shown by %u or %x that fits 32 bits is shown as the 32-bit value it was (-1 is FFFFFFFF),
// since the program's numbers are 32-bit. Anything else (a missing argument, one of the wrong kind,
// an unknown type, a width past kMaxField) raises EConvertError with the pattern.
#include "platform/Exception.h"

#include <cstdint>

namespace corvina {
namespace {

constexpr size_t kMaxField = 4096;  // widths and precisions beyond this are mistakes, not layouts

[[noreturn]] void Invalid(const std::string& pattern) {
  throw EConvertError("Format '" + pattern + "' invalid or incompatible with argument");
}

// Reads a run of decimal digits at pattern[j]; false when there is none.
bool ReadNumber(const std::string& pattern, size_t& j, size_t& value) {
  size_t start = j;
  value = 0;
  while (j < pattern.size() && pattern[j] >= '0' && pattern[j] <= '9') {
    value = value * 10 + static_cast<size_t>(pattern[j] - '0');
    if (value > kMaxField) Invalid(pattern);
    ++j;
  }
  return j > start;
}

std::string Digits(uint64_t value, unsigned base) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  do {
    out.insert(out.begin(), kDigits[value % base]);
    value /= base;
  } while (value != 0);
  return out;
}

}  // namespace

std::string Format(const std::string& pattern, const std::vector<FormatArg>& args) {
  std::string out;
  size_t next_arg = 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (c != '%') {
      out += c;
      continue;
    }
    if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
      out += '%';
      ++i;
      continue;
    }
    size_t j = i + 1;
    bool left = false;
    if (j < pattern.size() && pattern[j] == '-') {
      left = true;
      ++j;
    }
    size_t width = 0, precision = 0;
    ReadNumber(pattern, j, width);
    bool has_precision = false;
    if (j < pattern.size() && pattern[j] == '.') {
      ++j;
      ReadNumber(pattern, j, precision);
      has_precision = true;
    }
    if (j >= pattern.size() || next_arg >= args.size()) Invalid(pattern);
    const char type = pattern[j];
    const FormatArg& arg = args[next_arg++];
    std::string text;
    switch (type) {
      case 's': {
        if (!std::holds_alternative<std::string>(arg)) Invalid(pattern);
        text = std::get<std::string>(arg);
        if (has_precision && text.size() > precision) text.resize(precision);
        break;
      }
      case 'd':
      case 'u':
      case 'x':
      case 'X': {
        if (!std::holds_alternative<int64_t>(arg)) Invalid(pattern);
        const int64_t value = std::get<int64_t>(arg);
        bool negative = false;
        uint64_t magnitude;
        if (type == 'd') {
          negative = value < 0;
          magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
        } else if (value < 0 && value >= INT32_MIN) {
          magnitude = static_cast<uint32_t>(value);
        } else {
          magnitude = static_cast<uint64_t>(value);
        }
        text = Digits(magnitude, type == 'd' || type == 'u' ? 10 : 16);
        if (has_precision && text.size() < precision) text.insert(0, precision - text.size(), '0');
        if (negative) text.insert(0, 1, '-');
        break;
      }
      default:
        Invalid(pattern);
    }
    if (text.size() < width) {
      if (left) text.append(width - text.size(), ' ');
      else text.insert(0, width - text.size(), ' ');
    }
    out += text;
    i = j;
  }
  return out;
}

}  // namespace corvina
