#include "platform/Exception.h"

#include <cstdio>

namespace corvina {

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
    // %[-][width][.precision]type
    size_t j = i + 1;
    std::string spec = "%";
    if (j < pattern.size() && pattern[j] == '-') spec += pattern[j++];
    while (j < pattern.size() && pattern[j] >= '0' && pattern[j] <= '9') spec += pattern[j++];
    if (j < pattern.size() && pattern[j] == '.') {
      spec += pattern[j++];
      while (j < pattern.size() && pattern[j] >= '0' && pattern[j] <= '9') spec += pattern[j++];
    }
    if (j >= pattern.size()) throw EConvertError("Format '" + pattern + "' invalid or incompatible with argument");
    char type = pattern[j];
    if (next_arg >= args.size())
      throw EConvertError("Format '" + pattern + "' invalid or incompatible with argument");
    const FormatArg& arg = args[next_arg++];
    char buffer[64];
    switch (type) {
      case 's': {
        if (!std::holds_alternative<std::string>(arg))
          throw EConvertError("Format '" + pattern + "' invalid or incompatible with argument");
        const std::string& s = std::get<std::string>(arg);
        std::string text = s;
        size_t dot = spec.find('.');
        if (dot != std::string::npos) {
          size_t precision = std::stoul("0" + spec.substr(dot + 1));
          if (text.size() > precision) text.resize(precision);
        }
        size_t width = 0;
        bool left = spec.size() > 1 && spec[1] == '-';
        std::string w = spec.substr(left ? 2 : 1, dot == std::string::npos ? std::string::npos : dot - (left ? 2 : 1));
        if (!w.empty()) width = std::stoul(w);
        if (text.size() < width) {
          if (left) text.append(width - text.size(), ' ');
          else text.insert(0, width - text.size(), ' ');
        }
        out += text;
        break;
      }
      case 'd':
      case 'u':
      case 'x':
      case 'X': {
        if (!std::holds_alternative<int64_t>(arg))
          throw EConvertError("Format '" + pattern + "' invalid or incompatible with argument");
        std::string f = spec + "ll" + type;
        std::snprintf(buffer, sizeof buffer, f.c_str(), static_cast<long long>(std::get<int64_t>(arg)));
        out += buffer;
        break;
      }
      default:
        throw EConvertError("Format '" + pattern + "' invalid or incompatible with argument");
    }
    i = j;
  }
  return out;
}

}  // namespace corvina
