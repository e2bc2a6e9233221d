// A one-shot signal between the player's owner and its device writer thread.
// Signal leaves one pending wake-up (a second Signal before a Wait leaves
// still one); Wait blocks until a wake-up is pending and consumes it; Reset
// drops a wake-up nobody waited for. Whoever waits for an answer resets the
// event before asking, so a wake-up left over from an earlier exchange never
// answers a later one.
#pragma once

#include <condition_variable>
#include <mutex>

class TQuavixEvent {
public:
    void Signal() {
        {
            std::lock_guard<std::mutex> Guard(Lock);
            Pending = true;
        }
        Changed.notify_one();
    }
    void Wait() {
        std::unique_lock<std::mutex> Guard(Lock);
        Changed.wait(Guard, [this] { return Pending; });
        Pending = false;
    }
    void Reset() {
        std::lock_guard<std::mutex> Guard(Lock);
        Pending = false;
    }

private:
    std::mutex Lock;
    std::condition_variable Changed;
    bool Pending = false;
};
