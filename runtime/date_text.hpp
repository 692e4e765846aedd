// Date texts: ISO 8601 out; ISO 8601 and the US forms in.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quenlo {

/// Whether a serial lies in the range of dates (years 100 to 9999).
bool IsDateSerialInRange(double serial) noexcept;

/// Appends "YYYY-MM-DD", "hh:mm:ss" or "YYYY-MM-DD hh:mm:ss", rounded to the nearest second.
/// Raises Overflow (6) for a serial outside the range of dates.
void AppendDateText(std::string& out, double serial);

/// The serial of a date text ("2026-12-06", "15:04:05", "2026-12-06 15:04:05", "12/6/2026",
/// "3:04 PM", "12/6/2026 3:04:05 PM"); nothing when the text is not a valid date.
std::optional<double> DateSerialFromText(std::string_view text) noexcept;

}  // namespace quenlo
