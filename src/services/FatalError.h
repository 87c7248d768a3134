// FatalError.h -- the program's single way to give up.
#pragma once

#include <cstddef>
#include <exception>
#include <string>
#include <string_view>

#include "services/DataError.h"
#include "services/Stream.h"
#include "services/ValueLists.h"

// Shows the error dialog (caption "Fehler") and ends the process with the
// fatal exit code (1 unless SetFatalExitCode said otherwise). Never returns.
[[noreturn]] void FatalError(const std::string& message);

// Shows a plain message box (caption: the application title) and ends the
// process with the fatal exit code. Used where the failure is reported that
// way.
[[noreturn]] void FatalMessage(const std::string& message);

// The exit code of FatalError and FatalMessage from now on: a verification
// sets its refusal code, so that a recording the game cannot play is
// refused like any other bad recording.
void SetFatalExitCode(int code);

// Ends the program with `message` unless a file exists at `path`; the message
// is context + "Datein nicht gefunden: " + path.
void CheckFileExists(const std::string& path, const std::string& context);

// Runs one guarded step: any exception it throws ends the program with
// `message`. A data, conversion or file error adds its own explanation on
// the next line, so the player learns which file, key or value is wrong.
// The message is only turned into a string on failure: guards on the
// per-frame path cost nothing.
template <typename Step>
void Guarded(std::string_view message, Step&& step) {
  try {
    step();
  } catch (const EDataError& error) {
    FatalError(std::string(message) + "\r\n" + error.what());
  } catch (const EConvertError& error) {
    FatalError(std::string(message) + "\r\n" + error.what());
  } catch (const EStreamError& error) {
    FatalError(std::string(message) + "\r\n" + error.what());
  } catch (const std::exception&) {
    FatalError(std::string(message));
  }
}

// Guarded for a step on one item of many: the message is `text`, the item's
// index in decimal, then `closing`.
template <typename Step>
void GuardedItem(const char* text, std::size_t index, const char* closing, Step&& step) {
  try {
    step();
  } catch (const std::exception&) {
    FatalError(text + std::to_string(index) + closing);
  }
}
