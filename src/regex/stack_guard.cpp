// The depth limit of the recursive matcher. There is no stack-overflow
// exception on this platform, so the matcher compares its frame address with
// the end of the thread's stack plus a margin and gives up before the end.
#include "regex/sub_expr.h"

#include <pthread.h>

#include <algorithm>

namespace regex::detail {
namespace {

// Room left for the frames between two checks, for unwinding and for
// whatever the caller does after a failed match; a quarter of a small stack.
constexpr std::uintptr_t safety_margin = 256 * 1024;

std::uintptr_t compute_limit()
{
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) != 0)
        return 0;
    void* low = nullptr;
    std::size_t size = 0;
    const int rc = pthread_attr_getstack(&attr, &low, &size);
    pthread_attr_destroy(&attr);
    if (rc != 0)
        return 0;
    const std::uintptr_t margin = std::min<std::uintptr_t>(safety_margin, size / 4);
    return reinterpret_cast<std::uintptr_t>(low) + margin;
}

} // namespace

std::uintptr_t machine_stack_limit()
{
    thread_local const std::uintptr_t limit = compute_limit();
    return limit;
}

} // namespace regex::detail
