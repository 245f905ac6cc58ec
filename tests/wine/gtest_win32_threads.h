// std::mutex and std::condition_variable for GoogleTest under MinGW's win32 thread model,
// whose libstdc++ (GCC 12) has neither. Built on SRW locks and condition variables; used
// only by the test programs, never by the DLL.
#pragma once

#if defined(__cplusplus) && defined(_WIN32)
#include <bits/c++config.h>
#if !defined(_GLIBCXX_HAS_GTHREADS)
#include <windows.h>

#include <mutex>  // lock_guard and unique_lock exist without gthreads

namespace std {

class mutex {
public:
    constexpr mutex() noexcept = default;
    mutex(const mutex&) = delete;
    mutex& operator=(const mutex&) = delete;
    void lock() { AcquireSRWLockExclusive(&lock_); }
    bool try_lock() { return TryAcquireSRWLockExclusive(&lock_) != 0; }
    void unlock() { ReleaseSRWLockExclusive(&lock_); }
    PSRWLOCK native_handle() { return &lock_; }

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
};

class condition_variable {
public:
    condition_variable() noexcept = default;
    condition_variable(const condition_variable&) = delete;
    condition_variable& operator=(const condition_variable&) = delete;
    void notify_one() noexcept { WakeConditionVariable(&condition_); }
    void notify_all() noexcept { WakeAllConditionVariable(&condition_); }
    void wait(unique_lock<mutex>& held) {
        SleepConditionVariableSRW(&condition_, held.mutex()->native_handle(), INFINITE, 0);
    }
    template <typename Predicate>
    void wait(unique_lock<mutex>& held, Predicate ready) {
        while (!ready()) wait(held);
    }

private:
    CONDITION_VARIABLE condition_ = CONDITION_VARIABLE_INIT;
};

}  // namespace std
#endif
#endif
