#pragma once
// A private serial queue with a synchronous dispatch, and the way back to the GUI thread.
//
// SerialQueue owns one worker thread. sync(block) hands `block` to that thread and returns when
// it has run; blocks given by several callers run one after another, never at the same time.
//
// While the GUI (main) thread waits in sync() it does not run its event loop (no timers, no
// input, no repaints), but it keeps serving the requests that code on other threads sends it
// through onMainThread(). So a block on the queue that must show an alert calls
// onMainThread(), the alert runs on the GUI thread (with its own modal loop), and the block goes
// on with the answer. Outside sync() the same requests are served by the GUI thread's event
// loop.
//
// Threading contract:
//  - sync() may be called from any thread but the queue's own worker; from inside one of this
//    queue's blocks it runs the block at once (a real wait would never end).
//  - An exception thrown by a block is caught on the worker and thrown again from sync().
//  - The "GUI thread" is the thread of the QCoreApplication. Without an application object
//    there is none: onMainThread() then runs its function on the calling thread.
//  - onMainThread() called on the GUI thread runs the function at once. Called on another thread
//    it waits until the GUI thread has run it; the GUI thread must then be either in sync() or
//    in its event loop, otherwise the caller waits until it gets there.
//  - The destructor waits for the worker to finish the block it may be running, then joins it.
//    Destroy a queue from outside its blocks.

#include <QString>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>

namespace platform {

// True on the GUI thread (false everywhere when there is no application object).
bool isMainThread();

// Runs `fn` on the GUI thread and waits for it to end (see the contract above). Rethrows what
// `fn` threw.
void runOnMainThread(const std::function<void()>& fn);

// The same, answering what `fn` answers.
template <typename F>
auto onMainThread(F&& fn) -> std::invoke_result_t<F&> {
  using R = std::invoke_result_t<F&>;
  if constexpr (std::is_void_v<R>) {
    runOnMainThread([&fn] { fn(); });
  } else {
    std::optional<R> result;
    runOnMainThread([&fn, &result] { result.emplace(fn()); });
    return std::move(*result);
  }
}

class SerialQueue {
 public:
  // `label` names the worker thread (its first 15 bytes, as the system allows) for debuggers.
  explicit SerialQueue(const QString& label);
  ~SerialQueue();
  SerialQueue(const SerialQueue&) = delete;
  SerialQueue& operator=(const SerialQueue&) = delete;

  const QString& label() const { return m_label; }

  // Runs `block` on the worker thread and waits for it; on the GUI thread the wait serves
  // onMainThread() requests.
  void sync(const std::function<void()>& block);

  // True inside one of this queue's blocks.
  bool isCurrent() const { return std::this_thread::get_id() == m_worker.get_id(); }

 private:
  struct Task;
  void run();

  QString m_label;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::deque<Task*> m_tasks;  // owned by the callers waiting in sync()
  bool m_stopping = false;
  std::thread m_worker;
};

}  // namespace platform
