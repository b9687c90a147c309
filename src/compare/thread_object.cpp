#include "compare/thread_object.h"

ThreadObject::ThreadObject(std::function<void()> body) : body_(std::move(body)) {}

ThreadObject::~ThreadObject()
{
    if (!thread_.joinable())
        return;
    if (Wait(std::chrono::milliseconds(0)))
        return;
    thread_.detach();
}

void ThreadObject::Start()
{
    if (thread_.joinable())
        return;
    thread_ = std::thread([body = body_, completion = completion_] {
        body();
        std::lock_guard<std::mutex> lock(completion->mutex);
        completion->done = true;
        completion->ended.notify_all();
    });
}

bool ThreadObject::Wait(std::chrono::milliseconds limit)
{
    if (!thread_.joinable())
        return true;
    {
        std::unique_lock<std::mutex> lock(completion_->mutex);
        if (!completion_->ended.wait_for(lock, limit, [this] { return completion_->done; }))
            return false;
    }
    thread_.join();
    return true;
}

void ThreadObject::Join()
{
    if (thread_.joinable())
        thread_.join();
}
