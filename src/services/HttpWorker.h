// HttpWorker.h -- an HTTP client that runs a blocking transfer function on
// one worker thread, request after request.
#pragma once

#include <functional>
#include <memory>
#include <thread>

#include "services/Http.h"

class THttpWorker final : public THttpClient {
 public:
  // `transfer` performs one request and returns its answer; it runs on the
  // worker thread only and must itself give up after kHttpTimeoutSeconds.
  using TTransfer = std::function<THttpResponse(const THttpRequest&)>;
  explicit THttpWorker(TTransfer transfer);
  // Returns at once: queued requests are dropped, and a request in flight
  // ends on its own, its answer unread (the game never waits for the
  // network, not even to quit). An idle worker thread is joined.
  ~THttpWorker() override;
  THttpWorker(const THttpWorker&) = delete;
  THttpWorker& operator=(const THttpWorker&) = delete;

  uint64_t Start(const THttpRequest& request) override;
  [[nodiscard]] std::optional<THttpResponse> Take(uint64_t id) override;

  // The queue, shared with the worker thread, which may outlive the client.
  struct TShared;

 private:
  std::shared_ptr<TShared> fShared;
  std::thread fThread;
};
