// The serial queue: one worker thread, blocks one after another, the caller waits; the GUI
// thread keeps answering requests marshalled to it while it waits.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/SerialQueue.h"

using platform::SerialQueue;

namespace {

QThread* guiThread() { return QCoreApplication::instance()->thread(); }

// Every block runs on the queue's one worker, never on a caller's thread, and never beside
// another block, whichever threads dispatch; each sync returns only after its block ran.
TEST(SerialQueueTest, BlocksRunOneAtATimeOnOneWorker) {
  SerialQueue queue(QStringLiteral("zr.test"));
  std::atomic<int> inside{0};
  std::atomic<bool> overlapped{false};
  std::mutex idsMutex;
  std::vector<std::thread::id> workerIds;
  std::atomic<int> ran{0};

  const auto dispatch = [&](int count) {
    for (int i = 0; i < count; ++i) {
      const int before = ran.load();
      queue.sync([&] {
        if (inside.fetch_add(1) != 0) overlapped = true;
        {
          std::lock_guard lock(idsMutex);
          workerIds.push_back(std::this_thread::get_id());
        }
        std::this_thread::yield();
        ++ran;
        inside.fetch_sub(1);
      });
      EXPECT_GT(ran.load(), before);  // the block has run when sync returns
    }
  };
  std::vector<std::thread> callers;
  for (int t = 0; t < 4; ++t) callers.emplace_back(dispatch, 50);
  dispatch(50);  // and the GUI thread beside them
  for (std::thread& c : callers) c.join();

  EXPECT_FALSE(overlapped);
  EXPECT_EQ(ran.load(), 250);
  ASSERT_EQ(workerIds.size(), 250u);
  for (const std::thread::id& id : workerIds) EXPECT_EQ(id, workerIds.front());
  EXPECT_NE(workerIds.front(), std::this_thread::get_id());
}

// A block that needs the GUI thread gets it while the GUI thread waits in sync(): the function
// runs there, the block goes on with its answer; requests come back in the block's order.
TEST(SerialQueueTest, BlockReachesTheWaitingGuiThread) {
  SerialQueue queue(QStringLiteral("zr.test"));
  std::vector<int> order;
  bool onGui = true;
  queue.sync([&] {
    EXPECT_FALSE(platform::isMainThread());
    for (int i = 0; i < 3; ++i) {
      const int answer = platform::onMainThread([&] {
        onGui = onGui && QThread::currentThread() == guiThread() && platform::isMainThread();
        order.push_back(i);
        return i * 10;
      });
      EXPECT_EQ(answer, i * 10);
    }
  });
  EXPECT_TRUE(onGui);
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}

// Outside sync() the GUI thread's event loop serves the requests; on the GUI thread itself the
// function simply runs.
TEST(SerialQueueTest, RequestsAreServedByTheEventLoopAndRunDirectlyOnTheGuiThread) {
  std::atomic<bool> done{false};
  QThread* ranOn = nullptr;
  std::thread other([&] {
    platform::onMainThread([&] { ranOn = QThread::currentThread(); });
    done = true;
  });
  while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  other.join();
  EXPECT_EQ(ranOn, guiThread());

  int calls = 0;
  EXPECT_EQ(platform::onMainThread([&] { return ++calls; }), 1);
}

// Exceptions come back to the thread that waited: from a block to the caller of sync(), from a
// marshalled function to the block. A block that dispatches onto its own queue runs at once.
TEST(SerialQueueTest, ExceptionsAndReentrantDispatch) {
  SerialQueue queue(QStringLiteral("zr.test"));
  EXPECT_THROW(queue.sync([] { throw std::runtime_error("block"); }), std::runtime_error);

  bool caught = false;
  queue.sync([&] {
    try {
      platform::onMainThread([] { throw std::logic_error("gui"); });
    } catch (const std::logic_error&) {
      caught = true;
    }
  });
  EXPECT_TRUE(caught);

  bool inner = false;
  queue.sync([&] {
    EXPECT_TRUE(queue.isCurrent());
    queue.sync([&] { inner = true; });
  });
  EXPECT_TRUE(inner);
  EXPECT_FALSE(queue.isCurrent());

  // The queue still works after all of this.
  int value = 0;
  queue.sync([&] { value = 7; });
  EXPECT_EQ(value, 7);
}

}  // namespace
