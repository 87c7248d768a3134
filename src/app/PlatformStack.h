// PlatformStack.h -- the platform layers of one run above the window, as the
// command line asks for them: the player's folder of an installed game, a
// scratch folder, the replay, the autopilot and the recorder.
#pragma once

#include <memory>
#include <string>

#include "app/GameFolder.h"
#include "platform/Recording.h"

struct TOptions;
namespace pilot {
class TAutopilot;
}
namespace platform {
class TFolderPlatform;
class TPlatform;
class TRecordingPlatform;
class TReplayPlatform;
}  // namespace platform

class TPlatformStack {
 public:
  // Stacks the layers on `window`. `playerFolder` (with its trailing
  // separator) is where an installed game keeps the player's files; empty
  // for a game that runs from its own folder. Throws std::exception for a
  // replay file that cannot be read or a scratch folder that cannot be made
  // (Windows-1252 text).
  TPlatformStack(platform::TPlatform& window, const TOptions& options, const std::string& playerFolder);
  ~TPlatformStack();
  TPlatformStack(const TPlatformStack&) = delete;
  TPlatformStack& operator=(const TPlatformStack&) = delete;

  // The layer the game talks to.
  [[nodiscard]] platform::TPlatform& Top() { return *fTop; }
  // The layers that are there (null when the options did not ask for them).
  [[nodiscard]] pilot::TAutopilot* Pilot() { return fPilot.get(); }
  [[nodiscard]] platform::TRecordingPlatform* Recorder() { return fRecorder.get(); }
  [[nodiscard]] platform::TReplayPlatform* Replay() { return fReplay.get(); }
  // The recording the replay plays (empty without one).
  [[nodiscard]] const platform::TRecording& Replayed() const { return fRecording; }

 private:
  void StackReplay(const TOptions& options, const std::string& realBase);
  void StackPilot(const TOptions& options, const std::string& realBase);

  std::unique_ptr<platform::TFolderPlatform> fUserFolder;
  platform::TRecording fRecording;  // the replayed one
  std::unique_ptr<TScratchFolder> fScratch;
  std::unique_ptr<platform::TFolderPlatform> fFolder;
  std::unique_ptr<platform::TReplayPlatform> fReplay;
  std::unique_ptr<pilot::TAutopilot> fPilot;
  std::unique_ptr<platform::TRecordingPlatform> fRecorder;
  platform::TPlatform* fTop;
};
