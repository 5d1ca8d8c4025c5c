#pragma once
// An audio output for tests: keeps every utterance it is given and, when
// holding, keeps play() waiting until released or stopped, as a long
// announcement would. While failing it plays nothing and reports no sound
// output, as a missing sound server does.
#include "speechoutput.h"

#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <mutex>

class RecordingOutput final : public SpeechOutput {
public:
    bool play(const Utterance& utterance, const std::function<bool()>& stopRequested) override
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (failing_) {
            ++failures_;
            changed_.notify_all();
            return false;
        }
        given_.push_back(utterance);
        changed_.notify_all();
        changed_.wait(lock, [&] { return !hold_ || stopRequested(); });
        return true;
    }
    void halt() override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++halts_;
    }
    void interrupt() override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        changed_.notify_all();
    }

    void setFailing(bool failing)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        failing_ = failing;
    }
    int failures() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return failures_;
    }
    void setHold(bool hold)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        hold_ = hold;
        changed_.notify_all();
    }
    // Waits (at most a generous while, so a fault fails instead of hanging)
    // until `count` utterances were given.
    bool waitForCount(int count)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(30), [&] { return int(given_.size()) >= count; });
    }
    std::vector<Utterance> given() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return given_;
    }
    QStringList texts() const
    {
        QStringList t;
        for (const Utterance& u : given())
            t << u.text;
        return t;
    }
    int halts() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return halts_;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Utterance> given_;
    bool hold_ = false;
    bool failing_ = false;
    int halts_ = 0;
    int failures_ = 0;
};
