#include "zoret/site/lastmod.hpp"

#include <array>

#include "site/text_checks.hpp"

namespace zoret::site {
namespace {

constexpr std::array<std::string_view, 12> kMonthNames = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};

constexpr int kMaxOffsetMinutes = 14 * 60;

bool is_leap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int days_in_month(int year, int month) {
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && is_leap(year) ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

// Reads the fields left to right; `fail` records the first fault.
class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  [[nodiscard]] bool at_end() const { return pos_ == text_.size(); }
  [[nodiscard]] std::size_t pos() const { return pos_; }
  [[nodiscard]] bool peek(char c) const { return pos_ < text_.size() && text_[pos_] == c; }

  bool accept(char c) {
    if (!peek(c)) return false;
    ++pos_;
    return true;
  }

  /// Exactly `n` ASCII digits as a number, or -1.
  int digits(std::size_t n) {
    if (text_.size() - pos_ < n) return -1;
    int value = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const char c = text_[pos_ + i];
      if (c < '0' || c > '9') return -1;
      value = value * 10 + (c - '0');
    }
    pos_ += n;
    return value;
  }

  /// One or more digits; false when there is none.
  bool digit_run() {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
    return pos_ > start;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

ZoretError invalid(std::string_view value, const std::string& reason) {
  std::string message = "lastmod ";
  message += detail::quoted(value);
  message += ": ";
  message += reason;
  return ZoretError(ErrorKind::InvalidEntity, std::move(message));
}

std::string two_digits(int n) {
  return {static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
}

constexpr std::string_view kForms =
    "expected YYYY, YYYY-MM, YYYY-MM-DD or YYYY-MM-DDThh:mm[:ss[.s]] with Z or an offset "
    "+hh:mm/-hh:mm";

}  // namespace

Result<std::string> normalize_lastmod(std::string_view value) {
  Reader in(value);
  const int year = in.digits(4);
  if (year < 0) return invalid(value, std::string(kForms));
  if (year == 0) return invalid(value, "year 0000 does not exist");
  if (in.at_end()) return std::string(value) + "-01-01";

  if (!in.accept('-')) return invalid(value, std::string(kForms));
  const int month = in.digits(2);
  if (month < 0) return invalid(value, std::string(kForms));
  if (month < 1 || month > 12) {
    return invalid(value, "month " + two_digits(month) + " is out of range 01-12");
  }
  if (in.at_end()) return std::string(value) + "-01";

  if (!in.accept('-')) return invalid(value, std::string(kForms));
  const int day = in.digits(2);
  if (day < 0) return invalid(value, std::string(kForms));
  if (day < 1 || day > days_in_month(year, month)) {
    return invalid(value, "day " + two_digits(day) + " does not exist in " +
                              std::string(kMonthNames[static_cast<std::size_t>(month - 1)]) + " " +
                              std::string(value.substr(0, 4)));
  }
  if (in.at_end()) return std::string(value);

  if (!in.accept('T')) return invalid(value, std::string(kForms));
  const int hour = in.digits(2);
  if (hour < 0 || !in.accept(':')) return invalid(value, std::string(kForms));
  const int minute = in.digits(2);
  if (minute < 0) return invalid(value, std::string(kForms));
  if (hour > 23) return invalid(value, "hour " + two_digits(hour) + " is out of range 00-23");
  if (minute > 59) {
    return invalid(value, "minute " + two_digits(minute) + " is out of range 00-59");
  }
  const std::size_t minutes_end = in.pos();
  bool has_seconds = false;
  if (in.accept(':')) {
    const int second = in.digits(2);
    if (second < 0) return invalid(value, std::string(kForms));
    if (second > 59) {
      return invalid(value, "second " + two_digits(second) + " is out of range 00-59");
    }
    has_seconds = true;
    if (in.accept('.') && !in.digit_run()) {
      return invalid(value, "a decimal point needs at least one digit after it");
    }
  }

  if (in.at_end()) return invalid(value, "a time needs \"Z\" or an offset such as +01:00");
  if (!in.accept('Z')) {
    if (!in.accept('+') && !in.accept('-')) return invalid(value, std::string(kForms));
    const int offset_hours = in.digits(2);
    if (offset_hours < 0 || !in.accept(':')) return invalid(value, std::string(kForms));
    const int offset_minutes = in.digits(2);
    if (offset_minutes < 0) return invalid(value, std::string(kForms));
    if (offset_minutes > 59 || offset_hours * 60 + offset_minutes > kMaxOffsetMinutes) {
      return invalid(value, "offset " + two_digits(offset_hours) + ":" +
                                two_digits(offset_minutes) + " is out of range (at most 14:00)");
    }
  }
  if (!in.at_end()) return invalid(value, std::string(kForms));

  if (has_seconds) return std::string(value);
  std::string out(value.substr(0, minutes_end));
  out += ":00";
  out += value.substr(minutes_end);
  return out;
}

}  // namespace zoret::site
