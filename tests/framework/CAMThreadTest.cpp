#include "framework/CAMThread.h"

#include <gtest/gtest.h>

namespace {

// A worker that answers every command with the command + 100 until it gets 0.
class EchoThread : public CAMThread {
 public:
  EchoThread() : CAMThread(nullptr) {}
  EchoThread(HANDLE send, HANDLE complete, HRESULT* phr) : CAMThread(send, complete, phr) {}

  DWORD ThreadProc() override {
    if (m_endAtOnce) return 7;
    for (;;) {
      const DWORD command = GetRequest();
      DWORD peeked = 0;
      m_peekedSame = CheckRequest(&peeked) && peeked == command;
      Reply(command + 100);
      if (command == 0) return 0;
    }
  }

  bool m_endAtOnce = false;
  bool m_peekedSame = false;
};

TEST(WorkerThread, CommandsAreAnsweredOneByOne) {
  EchoThread thread;
  EXPECT_FALSE(thread.ThreadExists());
  EXPECT_EQ(static_cast<DWORD>(E_FAIL), thread.CallWorker(1));
  ASSERT_TRUE(thread.Create());
  EXPECT_FALSE(thread.Create());  // one thread at a time
  EXPECT_EQ(105u, thread.CallWorker(5));
  EXPECT_TRUE(thread.m_peekedSame);  // a command stays pending until the reply
  EXPECT_EQ(100u, thread.CallWorker(0));
  thread.Close();
  EXPECT_FALSE(thread.ThreadExists());
  ASSERT_TRUE(thread.Create());  // a new one after Close
  EXPECT_EQ(100u, thread.CallWorker(0));
}

TEST(WorkerThread, CallToAThreadThatEndedWithoutReplyFailsInsteadOfWaiting) {
  EchoThread thread;
  thread.m_endAtOnce = true;
  ASSERT_TRUE(thread.Create());
  EXPECT_EQ(static_cast<DWORD>(E_FAIL), thread.CallWorker(3));
  EXPECT_TRUE(thread.ThreadHasEnded());
  thread.Close();
}

TEST(WorkerThread, MissingEventIsReportedAndNoThreadStarts) {
  HRESULT hr = S_OK;
  EchoThread thread(nullptr, CreateEventW(nullptr, FALSE, FALSE, nullptr), &hr);
  EXPECT_EQ(E_OUTOFMEMORY, hr);
  EXPECT_FALSE(thread.Create());
  EXPECT_FALSE(thread.ThreadExists());
  EXPECT_EQ(static_cast<DWORD>(E_FAIL), thread.CallWorker(1));

  HRESULT earlier = E_ABORT;  // an earlier failure is not overwritten
  EchoThread other(CreateEventW(nullptr, TRUE, FALSE, nullptr), nullptr, &earlier);
  EXPECT_EQ(E_ABORT, earlier);
}

}  // namespace
