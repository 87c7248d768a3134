// DataError.cpp -- range checks of data-file values.
#include "services/DataError.h"

#include "services/IniFile.h"
#include "services/ValueLists.h"

void RequireRange(const std::string& where, double value, double low, double high) {
  if (!(value >= low && value <= high))
    throw EDataError(where + " = " + FloatToStr(value) + ": erlaubt sind " + FloatToStr(low) + " bis " +
                     FloatToStr(high));
}

int32_t ReadCount(const TIniFile& ini, const std::string& file, const char* section, const char* key, int32_t max) {
  const int32_t count = ini.ReadInteger(section, key, 0);
  // A list counted below zero has no items; only a count beyond what any
  // real file needs is refused.
  if (count < 0) return 0;
  RequireRange(file + ", [" + section + "] " + key, count, 0, max);
  return count;
}
