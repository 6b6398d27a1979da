#pragma once
// The game keeps the C runtime's nine calendar fields; both the POSIX and the
// Windows runtimes hand them over as a `tm`.

#include <ctime>

#include "platform/platform.h"

namespace posix {

inline plat::CalendarTime FromTm(const tm& t) {
  return {t.tm_sec,  t.tm_min,  t.tm_hour, t.tm_mday, t.tm_mon,
          t.tm_year, t.tm_wday, t.tm_yday, t.tm_isdst};
}

inline tm ToTm(const plat::CalendarTime& c) {
  tm t{};
  t.tm_sec = c.sec;
  t.tm_min = c.min;
  t.tm_hour = c.hour;
  t.tm_mday = c.mday;
  t.tm_mon = c.mon;
  t.tm_year = c.year;
  t.tm_wday = c.wday;
  t.tm_yday = c.yday;
  t.tm_isdst = c.isdst;
  return t;
}

}  // namespace posix
