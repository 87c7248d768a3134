// DataError.h -- a data file holds something the game cannot use.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

class TIniFile;

// Raised by loaders for values that would crash, hang or exhaust memory
// (an index outside its list, a model wider than the tube, an absurd count).
// The message names the file and the key. Guards show it under their own
// message.
class EDataError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws EDataError "<where> = <value>: erlaubt sind <low> bis <high>"
// unless low <= value <= high (NaN never is).
void RequireRange(const std::string& where, double value, double low, double high);

// A count key of a data file: 0 when absent or negative (an empty list),
// above `max` an EDataError naming `file`.
[[nodiscard]] int32_t ReadCount(const TIniFile& ini, const std::string& file, const char* section, const char* key,
                                int32_t max);
