#include "platform/Event.h"
#include "platform/posix/FdWait.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <vector>

using norva::Event;
using norva::kWaitTimeout;
using norva::WaitAny;
using namespace std::chrono_literals;

TEST(EventWaitAny, ReportsTheLowestSignalledIndex) {
    Event a(Event::Mode::Auto), b(Event::Mode::Auto), c(Event::Mode::Auto);
    Event* const set[] = {&a, &b, &c};
    c.Set();
    b.Set();
    EXPECT_EQ(WaitAny(set, 0), 1);
    EXPECT_EQ(WaitAny(set, 0), 2);
    EXPECT_EQ(WaitAny(set, 0), kWaitTimeout);
}

TEST(EventWaitAny, ConsumesAutoResetButNeverManualReset) {
    Event manual(Event::Mode::Manual), autoReset(Event::Mode::Auto);
    Event* const set[] = {&manual, &autoReset};
    manual.Set();
    EXPECT_EQ(WaitAny(set, 0), 0);
    EXPECT_EQ(WaitAny(set, 0), 0);
    EXPECT_TRUE(manual.IsSet());
    manual.Reset();
    autoReset.Set();
    autoReset.Set(); // two sets before a wait still wake one waiter once
    EXPECT_EQ(WaitAny(set, 0), 1);
    EXPECT_EQ(WaitAny(set, 0), kWaitTimeout);
}

TEST(EventWaitAny, TimesOutAfterRoughlyTheTimeGiven) {
    Event e(Event::Mode::Auto);
    Event* const set[] = {&e};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitAny(set, 50), kWaitTimeout);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
}

TEST(EventWaitAny, WakesAWaiterFromAnotherThread) {
    Event e(Event::Mode::Auto);
    Event* const set[] = {&e};
    std::thread setter([&] {
        std::this_thread::sleep_for(20ms);
        e.Set();
    });
    EXPECT_EQ(WaitAny(set, -1), 0);
    setter.join();
}

TEST(EventWaitAny, ExactlyOneOfTwoWaitersTakesAnAutoResetEvent) {
    Event e(Event::Mode::Auto);
    Event* const set[] = {&e};
    std::atomic<int> woken{0};
    auto waiter = [&] {
        if (WaitAny(set, 300) == 0) {
            ++woken;
        }
    };
    std::thread t1(waiter), t2(waiter);
    std::this_thread::sleep_for(30ms);
    e.Set();
    t1.join();
    t2.join();
    EXPECT_EQ(woken.load(), 1);
}

TEST(EventWaitAny, ReportsAReadyDescriptorAfterTheEvents) {
    Event stop(Event::Mode::Manual);
    Event* const set[] = {&stop};
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], "x", 1), 1);
    norva::WaitFd extra{fds[0], POLLIN, 0};
    EXPECT_EQ(norva::WaitAnyOrFd(set, 0, &extra), 1);
    EXPECT_TRUE(extra.revents & POLLIN);
    stop.Set();
    EXPECT_EQ(norva::WaitAnyOrFd(set, 0, &extra), 0); // the stop event outranks the device
    close(fds[0]);
    close(fds[1]);
}

TEST(EventWaitAny, FailsOnAMissingEventOrTooManyEvents) {
    Event e(Event::Mode::Auto);
    Event* const set[] = {&e, nullptr};
    EXPECT_EQ(WaitAny(set, 0), norva::kWaitFailed);
    std::vector<Event*> many(norva::kMaxWaitObjects + 1, &e);
    e.Set();
    EXPECT_EQ(WaitAny(many, 0), norva::kWaitFailed);
    many.pop_back();
    EXPECT_EQ(WaitAny(many, 0), 0);
}

TEST(EventSleep, EndsEarlyWhenStopIsSet) {
    Event stop(Event::Mode::Manual);
    stop.Set();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(norva::SleepUnlessSet(&stop, 5000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    stop.Reset();
    EXPECT_FALSE(norva::SleepUnlessSet(&stop, 10));
}
