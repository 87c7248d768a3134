// Platform.cpp -- the platform whose GL context is current.
#include "platform/Platform.h"

namespace platform {

namespace {

TPlatform* gGLPlatform = nullptr;
uint64_t gContextSerials = 0;  // the last context number given out

}  // namespace

TPlatform* CurrentGLPlatform() { return gGLPlatform; }

void SetCurrentGLPlatform(TPlatform* platform) { gGLPlatform = platform; }

uint64_t NewGLContextNumber() { return ++gContextSerials; }

}  // namespace platform
