// Dialog.h -- modal message boxes, always echoed to stderr.
#pragma once

#include <functional>
#include <string>

namespace platform {

enum class TDialogKind { Error, Information };

// The application title: caption of plain message boxes.
inline constexpr const char* kApplicationTitle = "Riftvaulter";

// Shows a modal box with one OK button and returns when it is closed. Texts
// are Windows-1252 bytes. The text always goes to stderr as well; the box
// itself only appears once a window has enabled dialogs, so tests and
// headless runs never block.
void ShowMessage(TDialogKind kind, const std::string& caption, const std::string& text);

// A dialog sink replaces the box (tests read back what would have been
// shown). Pass an empty function to restore the default.
using TDialogSink = std::function<void(TDialogKind, const std::string& caption, const std::string& text)>;
void SetDialogSink(TDialogSink sink);

// Enabled by the real platform once its window exists and a display is set.
void EnableDialogBoxes(bool enable);

}  // namespace platform
