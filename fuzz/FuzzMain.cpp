// FuzzMain.cpp -- the libFuzzer entry of one target; RV_FUZZ_TARGET names
// the function of Targets.h it drives.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  RV_FUZZ_TARGET(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
