// Runs a piece of a test on a thread whose machine stack is as small as a
// worker thread's may be, and waits for it.
#pragma once

#include <gtest/gtest.h>
#include <pthread.h>

#include <cstddef>
#include <functional>

namespace regex_test {

inline void OnSmallStack(const std::function<void()>& fn, std::size_t stack_bytes = 256 * 1024)
{
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, stack_bytes);
    pthread_t thread;
    auto* arg = const_cast<std::function<void()>*>(&fn);
    const int created = pthread_create(
        &thread, &attr,
        [](void* a) -> void* {
            (*static_cast<std::function<void()>*>(a))();
            return nullptr;
        },
        arg);
    pthread_attr_destroy(&attr);
    ASSERT_EQ(created, 0);
    pthread_join(thread, nullptr);
}

}  // namespace regex_test
