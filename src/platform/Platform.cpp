// Platform.cpp -- the platform whose GL context is current.
#include "platform/Platform.h"

namespace platform {

namespace {

TPlatform* gGLPlatform = nullptr;

}  // namespace

TPlatform* CurrentGLPlatform() { return gGLPlatform; }

void SetCurrentGLPlatform(TPlatform* platform) { gGLPlatform = platform; }

}  // namespace platform
