// DataError.h -- a data file holds something the game cannot use.
#pragma once

#include <stdexcept>

// Raised by loaders for values that would crash, hang or exhaust memory
// (an index outside its list, a model wider than the tube, an absurd count).
// The message names the file and the key. Guards show it under their own
// message.
class EDataError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
