// A thread that can be waited for with a time limit and, when it does not end in
// time, let go (abandoned) instead of joined. Whatever the body uses must then be
// kept alive by the body itself.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class ThreadObject {
public:
    explicit ThreadObject(std::function<void()> body);
    // Joins an ended thread; detaches one that is still running.
    ~ThreadObject();
    ThreadObject(const ThreadObject&) = delete;
    ThreadObject& operator=(const ThreadObject&) = delete;

    void Start();
    bool IsStarted() const { return thread_.joinable(); }
    // True when the thread has ended within the time (and is joined).
    bool Wait(std::chrono::milliseconds limit);
    // Without limit.
    void Join();

private:
    struct Completion {
        std::mutex mutex;
        std::condition_variable ended;
        bool done = false;
    };

    std::function<void()> body_;
    std::shared_ptr<Completion> completion_ = std::make_shared<Completion>();
    std::thread thread_;
};

// A manual-reset event.
class ManualEvent {
public:
    void Set()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        set_ = true;
        cv_.notify_all();
    }
    void Wait()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait(lock, [this] { return set_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool set_ = false;
};
