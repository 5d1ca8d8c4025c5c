#pragma once
// A recording: every frame period the newest picture of the session is
// taken (repeated when none came, skipping those that came in between) and
// written to the AVI file, on its own thread. The file plays as long as the
// recording lasted: periods the thread could not fill in time (a loaded
// machine) play the last picture again, also those still owed at the stop.
#include "aviwriter.h"

#include <QObject>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace capture {

class CaptureSession;

class Recorder : public QObject {
    Q_OBJECT
public:
    struct Settings {
        QString path;  // empty = stream the frames without writing a file
        int periodMs = 41;
        int limitS = -1;  // -1 = no time limit
        CompressionSettings compression;
        bool streamFrames = false;  // raise frameStreamed for every frame
    };
    struct Stats {
        qint64 written = 0;  // frame periods filled
        qint64 repeated = 0;  // periods that got the previous picture again
        qint64 skipped = 0;  // source pictures that fell between two periods
        qint64 late = 0;  // periods filled late, with the previous picture
        double seconds = 0;  // from the first picture to the stop
    };

    explicit Recorder(QObject* parent = nullptr);
    ~Recorder() override;

    // Opens the file and starts the thread; the session must be running.
    Status start(CaptureSession* session, const Settings& settings);
    // Stops the thread and closes the file with its index and trailer.
    Status stop();
    bool isRunning() const { return thread_.joinable(); }
    Stats stats() const;
    // Grows with every start; reports carry the recording they belong to.
    quint64 generation() const { return generation_; }

signals:
    // From the recording thread.
    void frameStreamed(const QByteArray& bmp);
    void limitReached(quint64 generation);
    void writeFailed(quint64 generation, const QString& message);

private:
    void run(quint64 generation);

    CaptureSession* session_ = nullptr;
    Settings settings_;
    AviWriter writer_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::chrono::steady_clock::time_point stopAt_{};
    quint64 generation_ = 0;
    QString runError_;
    mutable std::mutex statsMutex_;
    Stats stats_;
    std::chrono::steady_clock::time_point t0_{};
};

}  // namespace capture
