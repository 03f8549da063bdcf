#include "base/date_time.hpp"

namespace talvero {
namespace {

// Days since 1970-01-01 of a proleptic Gregorian civil date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  year = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (m <= 2));
  month = static_cast<int>(m);
  day = static_cast<int>(d);
}

bool IsLeap(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// 1899-12-30 counted from 1970-01-01.
constexpr int64_t kEpochDays = -25569;

}  // namespace

std::optional<TDateTime> EncodeDateTime(const DateTimeParts& p) {
  if (p.year < 1 || p.year > 9999 || p.month < 1 || p.month > 12 || p.day < 1 ||
      p.day > DaysInMonth(p.year, p.month) || p.hour < 0 || p.hour > 23 || p.minute < 0 ||
      p.minute > 59 || p.second < 0 || p.second > 59 || p.millisecond < 0 || p.millisecond > 999) {
    return std::nullopt;
  }
  const int64_t days =
      DaysFromCivil(p.year, static_cast<unsigned>(p.month), static_cast<unsigned>(p.day)) -
      kEpochDays;
  const int64_t ms =
      ((static_cast<int64_t>(p.hour) * 60 + p.minute) * 60 + p.second) * 1000 + p.millisecond;
  return TDateTime{days * TDateTime::kMsPerDay + ms};
}

DateTimeParts DecodeDateTime(TDateTime moment) {
  int64_t days = moment.ms / TDateTime::kMsPerDay;
  int64_t rest = moment.ms % TDateTime::kMsPerDay;
  if (rest < 0) {
    rest += TDateTime::kMsPerDay;
    --days;
  }
  DateTimeParts p;
  CivilFromDays(days + kEpochDays, p.year, p.month, p.day);
  p.millisecond = static_cast<int>(rest % 1000);
  rest /= 1000;
  p.second = static_cast<int>(rest % 60);
  rest /= 60;
  p.minute = static_cast<int>(rest % 60);
  p.hour = static_cast<int>(rest / 60);
  return p;
}

TDateTime AddMilliseconds(TDateTime moment, int64_t ms) {
  return TDateTime{moment.ms + ms};
}

}  // namespace talvero
