// The handshake between a window thread and its draw worker, driven from two
// threads: a worker that draws as the host's does (calls of steps, the lock
// handed over between two steps, its pace waited out between calls) and the
// test's own thread in the window thread's part. Built apart, under the
// thread sanitizer, so that a race in the handshake fails the run.
#include <gtest/gtest.h>
#include <pthread.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "base/draw_lock.h"

namespace {

using namespace std::chrono_literals;

constexpr int kStepsPerCall = 1000;

// A draw worker of the host's shape, counting its steps.
class Worker {
public:
    explicit Worker(DrawLock* lock, uint64_t paceUs = 0) : lock_(lock), paceUs_(paceUs) {
        DrawLockWorkerStarting(lock_);
        thread_ = std::thread([this] { Run(); });
        while (cpuClock_.load() == 0) std::this_thread::yield();
    }
    ~Worker() {
        StopDrawLockWorker(lock_);
        thread_.join();
    }

    long Steps() const { return steps_.load(); }
    bool InStep() const { return inStep_.load(); }
    bool Gone() const { return gone_.load(); }
    // The worker's processor time so far.
    std::chrono::nanoseconds Cpu() const {
        timespec t{};
        clock_gettime(static_cast<clockid_t>(cpuClock_.load()), &t);
        return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
    }
    // Whether the steps move on within a generous time.
    bool Stepping() const {
        const long before = Steps();
        for (auto end = std::chrono::steady_clock::now() + 5s; std::chrono::steady_clock::now() < end;) {
            if (Steps() != before) return true;
            std::this_thread::sleep_for(1ms);
        }
        return false;
    }
    // Whether the steps stay where they are for a while.
    bool Still() const {
        const long before = Steps();
        std::this_thread::sleep_for(50ms);
        return Steps() == before && !InStep();
    }

private:
    void Run() {
        clockid_t clock{};
        pthread_getcpuclockid(pthread_self(), &clock);
        cpuClock_ = static_cast<long>(clock) == 0 ? -1 : static_cast<long>(clock);
        while (AwaitDrawLockTurn(lock_, paceUs_)) {
            if (!EnterDrawLockForWorker(lock_)) continue;
            for (int i = 0; i < kStepsPerCall; ++i) {
                if (!HandOverDrawLock(lock_)) break;
                inStep_ = true;
                steps_.fetch_add(1);
                inStep_ = false;
            }
            LeaveDrawLockForWorker(lock_);
        }
        gone_ = true;
        DrawLockWorkerLeft(lock_);
    }

    DrawLock* lock_;
    uint64_t paceUs_;
    std::atomic<long> steps_{0};
    std::atomic<bool> inStep_{false};
    std::atomic<bool> gone_{false};
    std::atomic<long> cpuClock_{0};
    std::thread thread_;
};

class DrawLockTest : public ::testing::Test {
protected:
    void SetUp() override { lock_ = CreateDrawLock(); }
    void TearDown() override { DeleteDrawLock(lock_); }
    DrawLock* lock_ = nullptr;
};

TEST_F(DrawLockTest, FreezeRepliesCountAsTheThreadSuspensionDoes) {
    // Action, reply; a worker need not exist for the count.
    const struct {
        const char* action;
        long reply;
    } script[] = {
        {"freeze", 0}, {"freeze", 1}, {"unfreeze", 2}, {"unfreeze", 1}, {"unfreeze", 0},
        {"unfreeze", 0}, {"freeze", 0}, {"stop", 0}, {"freeze", -1}, {"unfreeze", 1}, {"unfreeze", 0},
    };
    for (const auto& step : script) {
        const std::string action = step.action;
        if (action == "stop") {
            StopDrawLockWorker(lock_);
            continue;
        }
        EXPECT_EQ(FreezeDrawLockWorker(lock_, action == "freeze"), step.reply) << action;
    }
}

TEST_F(DrawLockTest, FreezesStopAtTheLimit) {
    for (long n = 0; n < kMaximumWorkerFreezes; ++n) ASSERT_EQ(FreezeDrawLockWorker(lock_, true), n);
    EXPECT_EQ(FreezeDrawLockWorker(lock_, true), -1);
    EXPECT_EQ(FreezeDrawLockWorker(lock_, false), kMaximumWorkerFreezes);
}

// Every order of freeze, unfreeze, pause, unpause, hold (the window
// thread's hand-over) and stop, with what the worker does after each. A
// stop lets a stepping worker finish the step it is in, no more (not the
// rest of its call), and a held one take no step at all.
TEST_F(DrawLockTest, EveryOrderOfTheHandshake) {
    enum Action { Freeze, Unfreeze, Pause, Unpause, Hold, Stop };
    enum Expect { Stepping, Still, Gone };
    struct Step {
        Action action;
        Expect then;
    };
    const std::vector<std::vector<Step>> scripts = {
        {{Freeze, Still}, {Unfreeze, Stepping}, {Stop, Gone}},
        {{Freeze, Still}, {Freeze, Still}, {Unfreeze, Still}, {Unfreeze, Stepping}, {Stop, Gone}},
        {{Freeze, Still}, {Hold, Still}, {Unfreeze, Stepping}, {Stop, Gone}},
        {{Hold, Stepping}, {Freeze, Still}, {Stop, Gone}},
        {{Freeze, Still}, {Stop, Gone}},
        {{Freeze, Still}, {Freeze, Still}, {Stop, Gone}},
        {{Stop, Gone}, {Freeze, Gone}, {Unfreeze, Gone}, {Hold, Gone}},
        {{Hold, Stepping}, {Stop, Gone}},
        // The pause and the freezes hold the worker apart.
        {{Pause, Still}, {Unpause, Stepping}, {Stop, Gone}},
        {{Pause, Still}, {Pause, Still}, {Unpause, Stepping}, {Stop, Gone}},
        {{Freeze, Still}, {Pause, Still}, {Unfreeze, Still}, {Unpause, Stepping}, {Stop, Gone}},
        {{Pause, Still}, {Freeze, Still}, {Unpause, Still}, {Unfreeze, Stepping}, {Stop, Gone}},
        {{Pause, Still}, {Hold, Still}, {Stop, Gone}},
        {{Unpause, Stepping}, {Stop, Gone}},
    };
    for (size_t n = 0; n < scripts.size(); ++n) {
        SCOPED_TRACE("script " + std::to_string(n));
        DrawLock* lock = CreateDrawLock();
        {
            Worker worker(lock);
            ASSERT_TRUE(worker.Stepping());
            bool still = false;  // what the previous expectation found
            for (const Step& step : scripts[n]) {
                switch (step.action) {
                    case Freeze:
                        FreezeDrawLockWorker(lock, true);
                        break;
                    case Unfreeze:
                        FreezeDrawLockWorker(lock, false);
                        break;
                    case Pause:
                        PauseDrawLockWorker(lock);
                        break;
                    case Unpause:
                        UnpauseDrawLockWorker(lock);
                        break;
                    case Hold: {
                        // Held at a step boundary: no step runs meanwhile.
                        DrawLockHold hold(lock);
                        EXPECT_FALSE(worker.InStep());
                        EXPECT_TRUE(worker.Still());
                        break;
                    }
                    case Stop: {
                        StopDrawLockWorker(lock);
                        const long atStop = worker.Steps();
                        AwaitDrawLockWorkerGone(lock);
                        EXPECT_LE(worker.Steps() - atStop, still ? 0 : 1) << "steps after the stop";
                        break;
                    }
                }
                still = step.then == Still;
                switch (step.then) {
                    case Stepping:
                        EXPECT_TRUE(worker.Stepping()) << "step " << &step - scripts[n].data();
                        break;
                    case Still:
                        EXPECT_TRUE(worker.Still()) << "step " << &step - scripts[n].data();
                        break;
                    case Gone:
                        EXPECT_TRUE(worker.Gone()) << "step " << &step - scripts[n].data();
                        break;
                }
            }
        }
        DeleteDrawLock(lock);
    }
}

TEST_F(DrawLockTest, AFreezeBeforeTheWorkerRunsHoldsItFromItsFirstStep) {
    EXPECT_EQ(FreezeDrawLockWorker(lock_, true), 0);
    Worker worker(lock_);
    EXPECT_TRUE(worker.Still());
    EXPECT_EQ(worker.Steps(), 0);
    EXPECT_EQ(FreezeDrawLockWorker(lock_, false), 1);
    EXPECT_TRUE(worker.Stepping());
}

TEST_F(DrawLockTest, AHeldWorkerUsesNoProcessorTime) {
    for (const char* hold : {"frozen", "paused"}) {
        DrawLock* lock = CreateDrawLock();
        {
            Worker worker(lock);
            ASSERT_TRUE(worker.Stepping());
            if (hold == std::string("frozen")) {
                FreezeDrawLockWorker(lock, true);
            } else {
                PauseDrawLockWorker(lock);
            }
            const auto before = worker.Cpu();
            std::this_thread::sleep_for(300ms);
            EXPECT_LT(worker.Cpu() - before, 20ms) << hold;
        }
        DeleteDrawLock(lock);
    }
}

TEST_F(DrawLockTest, TheStopWakesAWorkerWaitingOutItsPace) {
    for (uint64_t pace : {kWaitForStop, uint64_t{60000000}}) {
        DrawLock* lock = CreateDrawLock();
        const auto start = std::chrono::steady_clock::now();
        {
            Worker worker(lock, pace);
            std::this_thread::sleep_for(20ms);
            EXPECT_EQ(worker.Steps(), 0);
            StopDrawLockWorker(lock);
            AwaitDrawLockWorkerGone(lock);
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, 10s) << "pace " << pace;
        DeleteDrawLock(lock);
    }
}

TEST_F(DrawLockTest, WaitingForTheWorkerReturnsAtOnceWhenNoneStarted) {
    AwaitDrawLockWorkerGone(lock_);
    DrawLockWorkerStarting(lock_);
    std::atomic<bool> left{false};
    std::thread worker([&] {
        std::this_thread::sleep_for(50ms);
        left = true;
        DrawLockWorkerLeft(lock_);
    });
    AwaitDrawLockWorkerGone(lock_);
    EXPECT_TRUE(left.load());
    worker.join();
}

}  // namespace
