#pragma once
// A sound output for tests: plays in real time as a device does, keeping what
// it has played; stopping drops what it holds and has not played yet.
#include "shuttersound.h"

#include <QElapsedTimer>

class RecordingSoundOutput final : public SoundOutput {
public:
    // What every output made by recorder() played, across players.
    struct Record {
        QByteArray played;
        QByteArray dropped;
        int streams = 0;
    };

    explicit RecordingSoundOutput(Record& record)
        : record_(record)
    {
    }
    static SoundPlayer::OutputFactory recorder(Record& record)
    {
        return [&record] { return std::make_unique<RecordingSoundOutput>(record); };
    }

    bool start(const QAudioFormat& format) override
    {
        format_ = format;
        clock_.start();
        ++record_.streams;
        return true;
    }
    qint64 write(const char* data, qint64 size) override
    {
        advance();
        const qint64 n = qMin<qint64>(size, kBuffer - held_.size());
        held_.append(data, n);
        return n;
    }
    qint64 pending() const override
    {
        const_cast<RecordingSoundOutput*>(this)->advance();
        return held_.size();
    }
    void stop() override
    {
        advance();
        record_.dropped += held_;
        held_.clear();
    }

private:
    static constexpr qint64 kBuffer = 8192;  // more than the whole click

    // Moves what the elapsed time has played from held to played.
    void advance()
    {
        const qint64 due = format_.bytesForDuration(clock_.nsecsElapsed() / 1000) - playedTotal_;
        qint64 n = qMin<qint64>(qMax<qint64>(0, due), held_.size());
        n -= n % qMax(1, format_.bytesPerFrame());
        record_.played += held_.left(n);
        held_.remove(0, n);
        playedTotal_ += n;
    }

    Record& record_;
    QAudioFormat format_;
    QElapsedTimer clock_;
    QByteArray held_;
    qint64 playedTotal_ = 0;
};
