#pragma once

#include <string>
#include <string_view>

#include "zoret/result.hpp"

namespace zoret::site {

/// Checks a modification date in W3C Datetime form and returns it in the form
/// the sitemaps.org schema validates (`xsd:date` or `xsd:dateTime`).
/// Accepted: YYYY, YYYY-MM, YYYY-MM-DD, and YYYY-MM-DDThh:mm, YYYY-MM-DDThh:mm:ss
/// or YYYY-MM-DDThh:mm:ss.s (one or more fraction digits) followed by "Z" or an
/// offset +hh:mm / -hh:mm. Letters are upper case ("T", "Z"); a time always
/// needs its offset.
/// Values are checked against the calendar: year 0001-9999, month 01-12, a day
/// that exists in that month (29 February in leap years only), hour 00-23,
/// minute and second 00-59, offset at most 14:00 either way (XML Schema's range).
/// Normalisation completes what the schema needs and changes nothing else: a
/// year or year-month gains the first month or day ("2024" -> "2024-01-01",
/// "2024-05" -> "2024-05-01"), a time without seconds gains ":00"; a fraction
/// and the offset are kept as given.
/// Errors: InvalidEntity "lastmod \"2024-02-30\": day 30 does not exist in
/// February 2024" and similar, naming the value and the first fault.
/// W3C Note "Date and Time Formats" (1997); XML Schema Part 2, 3.2.7 and 3.2.9.
[[nodiscard]] Result<std::string> normalize_lastmod(std::string_view value);

}  // namespace zoret::site
