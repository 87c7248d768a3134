// QuitSignals.h -- SIGINT and SIGTERM end the game: through the main loop
// while it runs, and at once while a message box holds the loop in its own.
#pragma once

namespace platform {

// Installs the handlers (before SDL's video starts, which then keeps them).
void InstallQuitSignals();
// True once SIGINT or SIGTERM arrived; the next event pump reports Quit (a
// second one ends the process at once).
[[nodiscard]] bool QuitSignalled();

// While one of these lives a modal box is open: a signal then ends the
// process with exit code 1, since the box would keep it waiting.
class TModalBox {
 public:
  TModalBox();
  ~TModalBox();
  TModalBox(const TModalBox&) = delete;
  TModalBox& operator=(const TModalBox&) = delete;
};

}  // namespace platform
