// The platform's exception classes. Every error of the reader and of this layer is an
// Exception carrying its message text (code page 1251 bytes); the class tells the kind.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <variant>
#include <vector>

namespace corvina {

class Exception : public std::exception {
public:
  explicit Exception(std::string message) : Message(std::move(message)) {}
  const char* what() const noexcept override { return Message.c_str(); }
  std::string Message;
};

#define CORVINA_EXCEPTION(Name, Base)                       \
  class Name : public Base {                                \
  public:                                                   \
    explicit Name(std::string message) : Base(std::move(message)) {} \
  }

CORVINA_EXCEPTION(EListError, Exception);
CORVINA_EXCEPTION(EStreamError, Exception);
CORVINA_EXCEPTION(EFileStreamError, EStreamError);
CORVINA_EXCEPTION(EFOpenError, EFileStreamError);
CORVINA_EXCEPTION(EFCreateError, EFileStreamError);
CORVINA_EXCEPTION(EReadError, EStreamError);
CORVINA_EXCEPTION(EWriteError, EStreamError);
CORVINA_EXCEPTION(EOutOfResources, Exception);
CORVINA_EXCEPTION(EConvertError, Exception);
CORVINA_EXCEPTION(EClassNotFound, Exception);
CORVINA_EXCEPTION(ERangeError, Exception);
CORVINA_EXCEPTION(EOutOfMemory, Exception);
CORVINA_EXCEPTION(EInOutError, Exception);

#undef CORVINA_EXCEPTION

// One argument of Format: an integer or a text.
using FormatArg = std::variant<int64_t, std::string>;

// printf-like formatting of the placeholders the program's messages use: %s, %d, %u, %x (upper-case
// digits), with an optional "-", width and precision (%3.3d pads with zeros to three digits; %.3s
// keeps three characters), and %%. Arguments left over are ignored. A placeholder without a
// matching argument, of the wrong kind or of an unknown type raises EConvertError.
std::string Format(const std::string& pattern, const std::vector<FormatArg>& args);

// The messages of the platform's own stream errors.
inline constexpr const char* SFOpenError = "Cannot open file \"%s\". %s";
inline constexpr const char* SFCreateError = "Cannot create file \"%s\". %s";
inline constexpr const char* SAssignError = "Cannot assign a %s to a %s";
inline constexpr const char* SListIndexError = "List index out of bounds (%d)";
inline constexpr const char* SListCapacityError = "List capacity out of bounds (%d)";
inline constexpr const char* SListCountError = "List count out of bounds (%d)";
inline constexpr const char* SDuplicateString = "String list does not allow duplicates";
inline constexpr const char* SClassNotFound = "Class %s not found";
inline constexpr const char* SRangeError = "Range check error";
inline constexpr const char* SReadError = "Stream read error";
inline constexpr const char* SWriteError = "Stream write error";

}  // namespace corvina
