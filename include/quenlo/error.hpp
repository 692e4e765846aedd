// Errors: every public member of the library reports failure by throwing quenlo::Error.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "quenlo/export.hpp"

namespace quenlo {

/// The exception every public member throws: a number, a source and a description, as an
/// Automation error carries them, and where it helps a context that says where the error lies:
/// the byte offset at which reading failed, the key or position that is not there, the path of
/// a value that was refused. what() joins the description and the context.
class QUENLO_EXPORT Error : public std::runtime_error {
 public:
  /// An error as the library raises it; what() is made from `description` and `context`.
  Error(std::int32_t number, std::string source, std::string description, std::string context = {});

  /// The error number: a runtime number of quenlo::err or one of the library's own.
  std::int32_t Number() const noexcept { return number_; }
  /// "Quenlo" for runtime errors, "Tavrix" for the library's own.
  const std::string& Source() const noexcept { return source_; }
  /// The classic text of the error number.
  const std::string& Description() const noexcept { return description_; }
  /// Where the error lies; empty when there is nothing more to say.
  const std::string& Context() const noexcept { return context_; }

 private:
  std::int32_t number_;
  std::string source_;
  std::string description_;
  std::string context_;
};

/// The classic runtime error numbers. Runtime errors carry the source "Quenlo".
namespace err {
/// A runtime error number, as Error::Number() reports it; RuntimeErrorText gives its text.
/// @{
inline constexpr std::int32_t kInvalidProcedureCall = 5;
inline constexpr std::int32_t kOverflow = 6;
inline constexpr std::int32_t kOutOfMemory = 7;
inline constexpr std::int32_t kSubscriptOutOfRange = 9;
inline constexpr std::int32_t kArrayLocked = 10;
inline constexpr std::int32_t kTypeMismatch = 13;
inline constexpr std::int32_t kOutOfStackSpace = 28;
inline constexpr std::int32_t kBadFileName = 52;
inline constexpr std::int32_t kFileNotFound = 53;
inline constexpr std::int32_t kDeviceIOError = 57;
inline constexpr std::int32_t kDiskFull = 61;
inline constexpr std::int32_t kPermissionDenied = 70;
inline constexpr std::int32_t kPathFileAccessError = 75;
inline constexpr std::int32_t kPathNotFound = 76;
inline constexpr std::int32_t kObjectNotSet = 91;
inline constexpr std::int32_t kInvalidUseOfNull = 94;
inline constexpr std::int32_t kObjectRequired = 424;
inline constexpr std::int32_t kCannotCreateObject = 429;
inline constexpr std::int32_t kNotSupported = 438;
inline constexpr std::int32_t kArgumentNotOptional = 449;
inline constexpr std::int32_t kWrongArgumentCount = 450;
inline constexpr std::int32_t kDuplicateKey = 457;
/// @}
}  // namespace err

/// The source text of runtime errors.
inline constexpr std::string_view kRuntimeSource = "Quenlo";

/// The classic text of a runtime error number ("Application-defined or object-defined error"
/// for a number the runtime does not know).
QUENLO_EXPORT std::string_view RuntimeErrorText(std::int32_t number) noexcept;

/// Throws the runtime error `number` with the source "Quenlo", its classic text and `context`.
[[noreturn]] QUENLO_EXPORT void RaiseRuntimeError(std::int32_t number, std::string context = {});

}  // namespace quenlo
