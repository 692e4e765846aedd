// Date texts. A date is a serial: days since 1899-12-30, the fraction the time of day. Before
// that day the fraction still counts forward in the day: -1.25 is 1899-12-29 06:00.
#include "runtime/date_text.hpp"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>

#include "quenlo/error.hpp"
#include "runtime/characters.hpp"
#include "runtime/number_text.hpp"

namespace quenlo {

namespace {

constexpr double kFirstSerial = -657434.0;    // 0100-01-01
constexpr double kLastSerialEnd = 2958466.0;  // 10000-01-01
constexpr std::int64_t kSecondsPerDay = 86'400;
constexpr std::int64_t kEpochDays = -25'569;  // 1899-12-30 counted from 1970-01-01

struct CivilDate {
  int year;
  int month;
  int day;
};

std::chrono::year_month_day ChronoOf(CivilDate date) noexcept {
  return {std::chrono::year(date.year), std::chrono::month(static_cast<unsigned>(date.month)),
          std::chrono::day(static_cast<unsigned>(date.day))};
}

// Days since 1970-01-01 of a proleptic Gregorian date, and back: the serial range keeps years
// within 99 to 10000, well inside what std::chrono counts.
std::int64_t DaysFromCivil(CivilDate date) noexcept {
  return std::chrono::sys_days(ChronoOf(date)).time_since_epoch().count();
}

CivilDate CivilFromDays(std::int64_t days) noexcept {
  const std::chrono::year_month_day civil{std::chrono::sys_days(std::chrono::days(days))};
  return CivilDate{static_cast<int>(civil.year()), static_cast<int>(static_cast<unsigned>(civil.month())),
                   static_cast<int>(static_cast<unsigned>(civil.day()))};
}

char* WriteDigits(char* p, int value, int width) {
  for (int i = width - 1; i >= 0; --i, value /= 10) p[i] = static_cast<char>('0' + value % 10);
  return p + width;
}

char* WriteCivilDate(char* p, CivilDate date) {
  p = WriteDigits(p, date.year, 4);
  *p++ = '-';
  p = WriteDigits(p, date.month, 2);
  *p++ = '-';
  return WriteDigits(p, date.day, 2);
}

char* WriteTime(char* p, std::int64_t seconds) {
  p = WriteDigits(p, static_cast<int>(seconds / 3600), 2);
  *p++ = ':';
  p = WriteDigits(p, static_cast<int>(seconds / 60 % 60), 2);
  *p++ = ':';
  return WriteDigits(p, static_cast<int>(seconds % 60), 2);
}

// A small reader over a date text.
class DateScanner {
 public:
  explicit DateScanner(std::string_view text) noexcept : text_(text) {}

  bool AtEnd() const noexcept { return pos_ == text_.size(); }
  std::size_t Position() const noexcept { return pos_; }
  void Rewind(std::size_t pos) noexcept { pos_ = pos; }

  bool Number(std::size_t min_digits, std::size_t max_digits, int& value) noexcept {
    const std::size_t start = pos_;
    value = 0;
    while (pos_ < text_.size() && pos_ - start < max_digits && text_[pos_] >= '0' && text_[pos_] <= '9') {
      value = value * 10 + (text_[pos_++] - '0');
    }
    return pos_ - start >= min_digits;
  }
  bool Char(char c) noexcept {
    if (AtEnd() || text_[pos_] != c) return false;
    ++pos_;
    return true;
  }
  bool Spaces() noexcept {
    const std::size_t start = pos_;
    while (Char(' ')) {
    }
    return pos_ > start;
  }
  // "AM" or "PM" in any case: 0 for AM, 12 for PM, -1 for neither.
  int Meridiem() noexcept {
    if (text_.size() - pos_ < 2) return -1;
    const std::string_view marker = text_.substr(pos_, 2);
    const int hours = EqualsIgnoringCase(marker, "am") ? 0 : EqualsIgnoringCase(marker, "pm") ? 12 : -1;
    if (hours >= 0) pos_ += 2;
    return hours;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

bool IsValidCivil(CivilDate date) noexcept {
  return date.year >= 100 && date.year <= 9999 && date.month >= 1 && date.month <= 12 && date.day >= 1 &&
         date.day <= 31 && ChronoOf(date).ok();
}

// "YYYY-MM-DD" or "M/D/YYYY".
std::optional<CivilDate> ScanDate(DateScanner& in) noexcept {
  const std::size_t start = in.Position();
  CivilDate date{};
  if (in.Number(4, 4, date.year) && in.Char('-') && in.Number(1, 2, date.month) && in.Char('-') &&
      in.Number(1, 2, date.day)) {
    return date;
  }
  in.Rewind(start);
  if (in.Number(1, 2, date.month) && in.Char('/') && in.Number(1, 2, date.day) && in.Char('/') &&
      in.Number(4, 4, date.year)) {
    return date;
  }
  in.Rewind(start);
  return std::nullopt;
}

// "h:mm", "h:mm:ss", either followed by "AM" or "PM"; the seconds since midnight.
std::optional<std::int64_t> ScanTime(DateScanner& in) noexcept {
  int hour = 0;
  int minute = 0;
  int second = 0;
  if (!(in.Number(1, 2, hour) && in.Char(':') && in.Number(2, 2, minute))) return std::nullopt;
  if (in.Char(':') && !in.Number(2, 2, second)) return std::nullopt;
  const std::size_t before_meridiem = in.Position();
  in.Spaces();
  const int meridiem = in.Meridiem();
  if (meridiem < 0) {
    in.Rewind(before_meridiem);
  } else {
    if (hour > 12) return std::nullopt;
    hour = hour % 12 + meridiem;
  }
  if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
  return hour * 3600 + minute * 60 + second;
}

double SerialOf(std::int64_t days, std::int64_t seconds) noexcept {
  const double time = static_cast<double>(seconds) / static_cast<double>(kSecondsPerDay);
  return static_cast<double>(days) + (days < 0 ? -time : time);
}

}  // namespace

bool IsDateSerialInRange(double serial) noexcept {
  return serial > kFirstSerial - 1 && serial < kLastSerialEnd;
}

void AppendDateText(std::string& out, double serial) {
  if (!IsDateSerialInRange(serial)) RaiseRuntimeError(err::kOverflow);
  const double whole_days = std::trunc(serial);
  std::int64_t days = static_cast<std::int64_t>(whole_days);
  std::int64_t seconds = std::llround(std::fabs(serial - whole_days) * static_cast<double>(kSecondsPerDay));
  if (seconds == kSecondsPerDay) {
    ++days;
    seconds = 0;
  }
  const CivilDate date = CivilFromDays(days + kEpochDays);
  if (date.year > 9999) RaiseRuntimeError(err::kOverflow);
  char text[24];
  char* p = text;
  if (days != 0 || seconds == 0) p = WriteCivilDate(p, date);
  if (days != 0 && seconds != 0) *p++ = ' ';
  if (seconds != 0) p = WriteTime(p, seconds);
  out.append(text, p);
}

std::optional<double> DateSerialFromText(std::string_view text) noexcept {
  DateScanner in(TrimSpaces(text));
  const std::optional<CivilDate> date = ScanDate(in);
  if (date && !IsValidCivil(*date)) return std::nullopt;
  const std::int64_t days = date ? DaysFromCivil(*date) - kEpochDays : 0;
  if (date && in.AtEnd()) return SerialOf(days, 0);
  if (date && !in.Char('T') && !in.Spaces()) return std::nullopt;
  const std::optional<std::int64_t> seconds = ScanTime(in);
  if (!seconds || !in.AtEnd()) return std::nullopt;
  return SerialOf(days, *seconds);
}

}  // namespace quenlo
