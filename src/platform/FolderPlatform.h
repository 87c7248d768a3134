// FolderPlatform.h -- the platform below with another program folder: the
// autopilot plays on a copy of the stage files and settings.
#pragma once

#include <string>
#include <utility>

#include "platform/PlatformDecorator.h"

namespace platform {

class TFolderPlatform final : public TPlatformDecorator {
 public:
  // `basePath` with its trailing separator.
  TFolderPlatform(TPlatform& inner, std::string basePath) : TPlatformDecorator(inner), fBasePath(std::move(basePath)) {}
  std::string BasePath() override { return fBasePath; }

 private:
  std::string fBasePath;
};

}  // namespace platform
