#include "testwatchdog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <sys/prctl.h>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Shared by the listener and the watching thread. It is never freed: the thread runs until the
// program ends, after GoogleTest has deleted its listeners.
struct Watch {
    std::chrono::seconds limit;
    std::mutex mutex;
    std::condition_variable changed;
    std::string test;
    Clock::time_point deadline;
    bool running = false;
};

void watch(Watch& state)
{
    std::unique_lock lock(state.mutex);
    for (;;) {
        if (!state.running) {
            state.changed.wait(lock);
            continue;
        }
        const auto deadline = state.deadline;
        if (state.changed.wait_until(lock, deadline) == std::cv_status::timeout && state.running
            && state.deadline == deadline) {
            std::fprintf(stderr, "\nTIME-OUT: %s did not finish within %lld s (RACR_TEST_TIMEOUT)\n",
                         state.test.c_str(), static_cast<long long>(state.limit.count()));
            std::fflush(stderr);
            // The test's thread is stuck; nothing can be unwound safely, so the program ends here.
            std::_Exit(124);
        }
    }
}

class WatchdogListener : public ::testing::EmptyTestEventListener {
public:
    explicit WatchdogListener(Watch& state) : m_state(state) {}

    void OnTestStart(const ::testing::TestInfo& test) override
    {
        const std::lock_guard lock(m_state.mutex);
        m_state.test = std::string(test.test_suite_name()) + '.' + test.name();
        m_state.deadline = Clock::now() + m_state.limit;
        m_state.running = true;
        m_state.changed.notify_all();
    }

    void OnTestEnd(const ::testing::TestInfo&) override
    {
        const std::lock_guard lock(m_state.mutex);
        m_state.running = false;
        m_state.changed.notify_all();
    }

private:
    Watch& m_state;
};

} // namespace

void installTestWatchdog()
{
    long seconds = 60;
    if (const char* text = std::getenv("RACR_TEST_TIMEOUT")) {
        char* end = nullptr;
        const long value = std::strtol(text, &end, 10);
        if (end != text && *end == '\0' && value > 0)
            seconds = value;
    }
    auto* state = new Watch;
    state->limit = std::chrono::seconds(seconds);
    std::thread(watch, std::ref(*state)).detach();
    ::testing::UnitTest::GetInstance()->listeners().Append(new WatchdogListener(*state));
}

void endWithParent()
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
}
