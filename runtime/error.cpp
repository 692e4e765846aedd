// Errors: the exception type and the classic runtime error texts.
#include "quenlo/error.hpp"

#include <utility>

namespace quenlo {

namespace {

std::string JoinedMessage(const std::string& description, const std::string& context) {
  return context.empty() ? description : description + " (" + context + ")";
}

}  // namespace

Error::Error(std::int32_t number, std::string source, std::string description, std::string context)
    : std::runtime_error(JoinedMessage(description, context)),
      number_(number),
      source_(std::move(source)),
      description_(std::move(description)),
      context_(std::move(context)) {}

std::string_view RuntimeErrorText(std::int32_t number) noexcept {
  switch (number) {
    case err::kInvalidProcedureCall:
      return "Invalid procedure call or argument";
    case err::kOverflow:
      return "Overflow";
    case err::kOutOfMemory:
      return "Out of memory";
    case err::kSubscriptOutOfRange:
      return "Subscript out of range";
    case err::kArrayLocked:
      return "This array is fixed or temporarily locked";
    case err::kTypeMismatch:
      return "Type mismatch";
    case err::kOutOfStackSpace:
      return "Out of stack space";
    case err::kBadFileName:
      return "Bad file name or number";
    case err::kFileNotFound:
      return "File not found";
    case err::kDeviceIOError:
      return "Device I/O error";
    case err::kDiskFull:
      return "Disk full";
    case err::kPermissionDenied:
      return "Permission denied";
    case err::kPathFileAccessError:
      return "Path/File access error";
    case err::kPathNotFound:
      return "Path not found";
    case err::kObjectNotSet:
      return "Object variable or With block variable not set";
    case err::kInvalidUseOfNull:
      return "Invalid use of Null";
    case err::kObjectRequired:
      return "Object required";
    case err::kCannotCreateObject:
      return "ActiveX component can't create object";
    case err::kNotSupported:
      return "Object doesn't support this property or method";
    case err::kArgumentNotOptional:
      return "Argument not optional";
    case err::kWrongArgumentCount:
      return "Wrong number of arguments or invalid property assignment";
    case err::kDuplicateKey:
      return "This key is already associated with an element of this collection";
    default:
      return "Application-defined or object-defined error";
  }
}

void RaiseRuntimeError(std::int32_t number, std::string context) {
  throw Error(number, std::string(kRuntimeSource), std::string(RuntimeErrorText(number)), std::move(context));
}

}  // namespace quenlo
