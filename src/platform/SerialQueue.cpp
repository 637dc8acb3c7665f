#include "platform/SerialQueue.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <pthread.h>

namespace platform {

// ---- The requests marshalled to the GUI thread -------------------------------------------------
//
// One process-wide channel: callers on other threads queue a request and wait; the GUI thread
// runs the requests either from its event loop (a queued call posted with each request) or while
// it waits in SerialQueue::sync(). Completion of sync() blocks goes through the same mutex and
// condition variable, so a GUI thread waiting in sync() wakes for either.

namespace {

struct MainRequest {
  const std::function<void()>* fn;
  std::exception_ptr error;
  bool done = false;
};

std::mutex g_mutex;
std::condition_variable g_changed;  // a request queued or finished, or a block finished
std::deque<MainRequest*> g_requests;

// Runs the queued requests on the GUI thread until there are none.
void serveMainRequests() {
  std::unique_lock lock(g_mutex);
  while (!g_requests.empty()) {
    MainRequest* request = g_requests.front();
    g_requests.pop_front();
    lock.unlock();
    try {
      (*request->fn)();
    } catch (...) {
      request->error = std::current_exception();
    }
    lock.lock();
    request->done = true;
    g_changed.notify_all();
  }
}

}  // namespace

bool isMainThread() {
  const QCoreApplication* app = QCoreApplication::instance();
  return app != nullptr && QThread::currentThread() == app->thread();
}

void runOnMainThread(const std::function<void()>& fn) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr || QThread::currentThread() == app->thread()) {
    fn();
    return;
  }
  MainRequest request{&fn, nullptr};
  {
    std::lock_guard lock(g_mutex);
    g_requests.push_back(&request);
  }
  g_changed.notify_all();
  // For a GUI thread that is in its event loop rather than in sync().
  QMetaObject::invokeMethod(app, [] { serveMainRequests(); }, Qt::QueuedConnection);
  {
    std::unique_lock lock(g_mutex);
    g_changed.wait(lock, [&request] { return request.done; });
  }
  if (request.error) std::rethrow_exception(request.error);
}

// ---- The queue ------------------------------------------------------------------------------------

struct SerialQueue::Task {
  const std::function<void()>* block;
  std::exception_ptr error;
  bool done = false;  // guarded by g_mutex
};

SerialQueue::SerialQueue(const QString& label) : m_label(label) {
  m_worker = std::thread([this] { run(); });
}

SerialQueue::~SerialQueue() {
  {
    std::lock_guard lock(m_mutex);
    m_stopping = true;
  }
  m_wake.notify_all();
  if (m_worker.joinable()) m_worker.join();
}

void SerialQueue::run() {
  const QByteArray name = m_label.toUtf8().left(15);
  pthread_setname_np(pthread_self(), name.constData());
  std::unique_lock lock(m_mutex);
  for (;;) {
    m_wake.wait(lock, [this] { return m_stopping || !m_tasks.empty(); });
    if (m_tasks.empty()) return;  // stopping, nothing left
    Task* task = m_tasks.front();
    m_tasks.pop_front();
    lock.unlock();
    try {
      (*task->block)();
    } catch (...) {
      task->error = std::current_exception();
    }
    {
      std::lock_guard done(g_mutex);
      task->done = true;
    }
    g_changed.notify_all();
    lock.lock();
  }
}

void SerialQueue::sync(const std::function<void()>& block) {
  if (isCurrent()) {
    block();
    return;
  }
  Task task{&block, nullptr};
  {
    std::lock_guard lock(m_mutex);
    m_tasks.push_back(&task);
  }
  m_wake.notify_all();

  const bool serving = isMainThread();
  std::unique_lock lock(g_mutex);
  for (;;) {
    g_changed.wait(lock, [&] { return task.done || (serving && !g_requests.empty()); });
    if (task.done) break;
    lock.unlock();
    serveMainRequests();
    lock.lock();
  }
  lock.unlock();
  if (task.error) std::rethrow_exception(task.error);
}

}  // namespace platform
