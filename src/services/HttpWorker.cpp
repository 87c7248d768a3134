// HttpWorker.cpp -- the request queue and its worker thread.
#include "services/HttpWorker.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <thread>

struct THttpWorker::TShared {
  TTransfer Transfer;
  std::mutex Mutex;
  std::condition_variable Wake;
  std::deque<std::pair<uint64_t, THttpRequest>> Queue;
  std::map<uint64_t, THttpResponse> Done;
  uint64_t NextId = 1;
  bool Stopping = false;
  bool Busy = false;  // a transfer is in flight
};

namespace {

void Work(const std::shared_ptr<THttpWorker::TShared>& shared);

}  // namespace

THttpWorker::THttpWorker(TTransfer transfer) : fShared(std::make_shared<TShared>()) {
  fShared->Transfer = std::move(transfer);
  fThread = std::thread([shared = fShared] { Work(shared); });
}

THttpWorker::~THttpWorker() {
  bool idle;
  {
    std::lock_guard<std::mutex> lock(fShared->Mutex);
    fShared->Stopping = true;
    fShared->Queue.clear();
    idle = !fShared->Busy;
  }
  fShared->Wake.notify_all();
  // An idle worker ends at once: wait for it, so that nothing it set up for
  // its thread (the TLS library's per-thread state) outlives the client. One
  // in the middle of a transfer is left to end on its own.
  if (idle)
    fThread.join();
  else
    fThread.detach();
}

uint64_t THttpWorker::Start(const THttpRequest& request) {
  uint64_t id;
  {
    std::lock_guard<std::mutex> lock(fShared->Mutex);
    id = fShared->NextId++;
    fShared->Queue.emplace_back(id, request);
  }
  fShared->Wake.notify_one();
  return id;
}

std::optional<THttpResponse> THttpWorker::Take(uint64_t id) {
  std::lock_guard<std::mutex> lock(fShared->Mutex);
  const auto found = fShared->Done.find(id);
  if (found == fShared->Done.end()) return std::nullopt;
  THttpResponse response = std::move(found->second);
  fShared->Done.erase(found);
  return response;
}

namespace {

void Work(const std::shared_ptr<THttpWorker::TShared>& shared) {
  for (;;) {
    std::pair<uint64_t, THttpRequest> job;
    {
      std::unique_lock<std::mutex> lock(shared->Mutex);
      shared->Wake.wait(lock, [&] { return shared->Stopping || !shared->Queue.empty(); });
      if (shared->Stopping) return;
      job = std::move(shared->Queue.front());
      shared->Queue.pop_front();
      shared->Busy = true;
    }
    THttpResponse response;
    try {
      response = shared->Transfer(job.second);
    } catch (const std::exception& failure) {
      response.Status = 0;
      response.Error = failure.what();
    }
    std::lock_guard<std::mutex> lock(shared->Mutex);
    shared->Busy = false;
    shared->Done[job.first] = std::move(response);
  }
}

}  // namespace
