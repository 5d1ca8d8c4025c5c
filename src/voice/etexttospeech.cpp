#include "etexttospeech.h"

#include "voicedescriptions.h"

#include <QThread>

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <future>
#include <mutex>
#include <vector>

namespace {

std::atomic<bool> engineTaken{false};
// espeak-ng is initialised once per process and never terminated: after an
// espeak_Terminate a second espeak_Initialize leaves the next terminate waiting
// for ever on the library's own thread. Guarded by engineTaken.
int espeakSampleRate = 0;

// The synthesis in progress; the callback appends to it and cancels it when
// a stop came in after the text was queued.
struct Synthesis {
    std::vector<int16_t>* samples = nullptr;
    const std::atomic<uint64_t>* generation = nullptr;
    uint64_t ownGeneration = 0;
    const std::atomic<bool>* quit = nullptr;
    bool cancelled = false;
};
thread_local Synthesis* currentSynthesis = nullptr;

int synthCallback(short* wav, int count, espeak_EVENT*)
{
    Synthesis* s = currentSynthesis;
    if (!s)
        return 0;
    if (s->generation->load() != s->ownGeneration || s->quit->load()) {
        s->cancelled = true;
        return 1;  // espeak_Cancel does not stop a synchronous synthesis; this does
    }
    if (wav && count > 0)
        s->samples->insert(s->samples->end(), wav, wav + count);
    return 0;
}

struct EngineVoice {
    QString description;
    QByteArray identifier;
};

// Engine calls; synthesis thread only.
std::vector<EngineVoice> engineVoices()
{
    std::vector<EngineVoice> voices;
    const espeak_VOICE** list = espeak_ListVoices(nullptr);
    for (int i = 0; list && list[i]; ++i) {
        const espeak_VOICE* v = list[i];
        VoiceInfo info;
        info.name = QString::fromUtf8(v->name ? v->name : "");
        info.identifier = QString::fromUtf8(v->identifier ? v->identifier : "");
        // languages: a priority byte, then a zero-terminated code, repeated.
        if (v->languages && v->languages[0])
            info.language = QString::fromUtf8(v->languages + 1);
        voices.push_back({voiceDescription(info), v->identifier ? QByteArray(v->identifier) : QByteArray()});
    }
    // Detection selects the first entry; with the engine's alphabetical order
    // that would be Afrikaans, so the default Chinese voice leads the list.
    QStringList descriptions;
    for (const EngineVoice& v : voices)
        descriptions << v.description;
    const int chinese = defaultVoiceIndex(descriptions);
    if (chinese > 0)
        std::rotate(voices.begin(), voices.begin() + chinese, voices.begin() + chinese + 1);
    return voices;
}

}  // namespace

struct ETextToSpeech::Listener {
    std::mutex mutex;
    std::function<void(bool)> report;

    void tell(bool available)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (report)
            report(available);
    }
};

struct ETextToSpeech::Engine {
    struct Job {
        uint64_t generation = 0;
        QString text;
        std::function<void()> task;  // set for engine calls; empty for speech
    };
    struct Playback {
        uint64_t generation = 0;
        Utterance utterance;
    };

    std::shared_ptr<SpeechOutput> output;
    std::shared_ptr<Listener> listener;
    bool outputAvailable = true;  // player thread only
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Job> jobs;
    std::deque<Playback> playbacks;
    bool synthBusy = false;
    bool playBusy = false;
    bool haltPending = false;
    std::atomic<bool> quit{false};
    std::atomic<uint64_t> generation{0};
    int sampleRate = 22050;
    QString currentVoice;  // synthesis thread only

    QThread* synthThread = nullptr;
    QThread* playerThread = nullptr;

    Engine(std::shared_ptr<SpeechOutput> out, std::shared_ptr<Listener> l)
        : output(std::move(out))
        , listener(std::move(l))
    {
    }

    bool start()
    {
        std::promise<bool> started;
        std::future<bool> result = started.get_future();
        synthThread = QThread::create([this, &started] { runSynthesis(started); });
        synthThread->start();
        if (!result.get()) {
            synthThread->wait();
            delete synthThread;
            synthThread = nullptr;
            return false;
        }
        playerThread = QThread::create([this] { runPlayer(); });
        playerThread->start();
        return true;
    }

    void stopThreads()
    {
        stopSpeech();
        {
            // Under the lock, so a thread about to wait cannot miss it.
            std::lock_guard<std::mutex> lock(mutex);
            quit = true;
        }
        changed.notify_all();
        output->interrupt();
        for (QThread* t : {synthThread, playerThread}) {
            if (t) {
                t->wait();
                delete t;
            }
        }
        synthThread = playerThread = nullptr;
    }

    void post(Job job)
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            jobs.push_back(std::move(job));
        }
        changed.notify_all();
    }

    template <class R> R call(std::function<R()> f)
    {
        auto promise = std::make_shared<std::promise<R>>();
        std::future<R> result = promise->get_future();
        Job job;
        job.task = [promise, f] { promise->set_value(f()); };
        post(std::move(job));
        return result.get();
    }

    void speak(const QString& text)
    {
        Job job;
        job.text = text;
        job.generation = generation.load();
        post(std::move(job));
    }

    void stopSpeech()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            ++generation;
            jobs.erase(std::remove_if(jobs.begin(), jobs.end(), [](const Job& j) { return !j.task; }), jobs.end());
            playbacks.clear();
            haltPending = true;
        }
        changed.notify_all();
        output->interrupt();
    }

    void waitUntilIdle()
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock,
                     [this] { return jobs.empty() && !synthBusy && playbacks.empty() && !playBusy && !haltPending; });
    }

    void runSynthesis(std::promise<bool>& started)
    {
        if (espeakSampleRate <= 0) {
            // DONT_EXIT: missing voice data must come back as an error, not end the process.
            espeakSampleRate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 100, nullptr, espeakINITIALIZE_DONT_EXIT);
        }
        if (espeakSampleRate <= 0) {
            started.set_value(false);
            return;
        }
        sampleRate = espeakSampleRate;
        espeak_SetSynthCallback(&synthCallback);
        // A new speech object starts from the engine's defaults.
        espeak_SetParameter(espeakRATE, espeakRATE_NORMAL, 0);
        espeak_SetParameter(espeakVOLUME, 100, 0);
        chooseDefaultVoice();
        started.set_value(true);

        for (;;) {
            Job job;
            {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, [this] { return quit || !jobs.empty(); });
                if (jobs.empty())
                    break;  // quit, and no caller waits for an answer
                job = std::move(jobs.front());
                jobs.pop_front();
                synthBusy = true;
            }
            if (job.task)
                job.task();
            else if (!quit)
                synthesize(job);
            {
                std::lock_guard<std::mutex> lock(mutex);
                synthBusy = false;
            }
            changed.notify_all();
        }
    }

    void synthesize(const Job& job)
    {
        Playback playback;
        playback.generation = job.generation;
        playback.utterance.text = job.text;
        playback.utterance.sampleRate = sampleRate;
        Synthesis synthesis;
        synthesis.samples = &playback.utterance.samples;
        synthesis.generation = &generation;
        synthesis.ownGeneration = job.generation;
        synthesis.quit = &quit;
        if (generation.load() != job.generation)
            return;
        const QByteArray utf8 = job.text.toUtf8();
        currentSynthesis = &synthesis;
        espeak_Synth(utf8.constData(), size_t(utf8.size()) + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr,
                     nullptr);
        currentSynthesis = nullptr;
        if (synthesis.cancelled || playback.utterance.samples.empty())
            return;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (generation.load() != job.generation)
                return;
            playbacks.push_back(std::move(playback));
        }
        changed.notify_all();
    }

    void runPlayer()
    {
        for (;;) {
            Playback playback;
            {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, [this] { return quit || haltPending || !playbacks.empty(); });
                if (quit)
                    break;
                if (haltPending) {
                    // The flag stays up until the output has been halted, so
                    // waiting for idle also waits for the halt.
                    lock.unlock();
                    output->halt();
                    lock.lock();
                    haltPending = false;
                    lock.unlock();
                    changed.notify_all();
                    continue;
                }
                playback = std::move(playbacks.front());
                playbacks.pop_front();
                playBusy = true;
            }
            const uint64_t own = playback.generation;
            const bool played =
                output->play(playback.utterance, [this, own] { return generation.load() != own || quit.load(); });
            if (played != outputAvailable) {
                outputAvailable = played;
                listener->tell(played);
            }
            {
                std::lock_guard<std::mutex> lock(mutex);
                playBusy = false;
            }
            changed.notify_all();
        }
        output->halt();
        output->finish();
    }

    // Synthesis thread.
    bool selectVoice(const QString& description)
    {
        for (const EngineVoice& v : engineVoices()) {
            if (v.description == description) {
                if (espeak_SetVoiceByName(v.identifier.constData()) != EE_OK)
                    return false;
                currentVoice = v.description;
                return true;
            }
        }
        return false;
    }

    void chooseDefaultVoice()
    {
        QStringList descriptions;
        for (const EngineVoice& v : engineVoices())
            descriptions << v.description;
        const int index = defaultVoiceIndex(descriptions);
        if (index >= 0)
            selectVoice(descriptions[index]);
    }
};

ETextToSpeech::ETextToSpeech(std::shared_ptr<SpeechOutput> output)
    : output_(output ? std::move(output) : std::make_shared<AudioSinkOutput>())
    , listener_(std::make_shared<Listener>())
{
}

ETextToSpeech::~ETextToSpeech()
{
    ReleaseVoice();
}

bool ETextToSpeech::CreateVoice()
{
    if (engine_)
        return true;
    if (engineTaken.exchange(true))
        return false;
    auto engine = std::make_unique<Engine>(output_, listener_);
    if (!engine->start()) {
        engineTaken = false;
        return false;
    }
    engine_ = std::move(engine);
    rate_ = 0;
    volume_ = 100;
    return true;
}

bool ETextToSpeech::ReleaseVoice()
{
    if (!engine_)
        return false;
    engine_->stopThreads();
    engine_.reset();
    engineTaken = false;
    return true;
}

bool ETextToSpeech::SpeakAsync(const QString& text)
{
    if (!engine_)
        return false;
    engine_->speak(text);
    return true;
}

bool ETextToSpeech::StopSpeaking()
{
    if (!engine_)
        return false;
    engine_->stopSpeech();
    return true;
}

bool ETextToSpeech::ResumeSpeaking()
{
    return engine_ != nullptr;
}

bool ETextToSpeech::SetVolume(int volume)
{
    if (!engine_ || volume < 0 || volume > 100)
        return false;
    volume_ = volume;
    Engine::Job job;
    job.task = [volume] { espeak_SetParameter(espeakVOLUME, volume, 0); };
    engine_->post(std::move(job));
    return true;
}

bool ETextToSpeech::SetRate(int rate)
{
    if (!engine_ || rate < -10 || rate > 10)
        return false;
    rate_ = rate;
    const int wpm = wordsPerMinute(rate);
    Engine::Job job;
    job.task = [wpm] { espeak_SetParameter(espeakRATE, wpm, 0); };
    engine_->post(std::move(job));
    return true;
}

QStringList ETextToSpeech::ListVoices()
{
    if (!engine_)
        return {};
    return engine_->call<QStringList>([] {
        QStringList descriptions;
        for (const EngineVoice& v : engineVoices())
            descriptions << v.description;
        return descriptions;
    });
}

bool ETextToSpeech::SelectVoice(const QString& description)
{
    if (!engine_)
        return false;
    Engine* e = engine_.get();
    return e->call<bool>([e, description] { return e->selectVoice(description); });
}

QString ETextToSpeech::CurrentVoice()
{
    if (!engine_)
        return {};
    Engine* e = engine_.get();
    return e->call<QString>([e] { return e->currentVoice; });
}

QString ETextToSpeech::Phonemes(const QString& text)
{
    if (!engine_ || text.isEmpty())
        return {};
    return engine_->call<QString>([text] {
        const QByteArray utf8 = text.toUtf8();
        const void* cursor = utf8.constData();
        QString phonemes;
        // Each call translates up to a clause and moves the cursor on.
        while (cursor) {
            const char* part = espeak_TextToPhonemes(&cursor, espeakCHARS_UTF8, 0);
            if (part)
                phonemes += QString::fromUtf8(part);
        }
        return phonemes;
    });
}

void ETextToSpeech::WaitUntilIdle()
{
    if (engine_)
        engine_->waitUntilIdle();
}

void ETextToSpeech::setOutputListener(std::function<void(bool available)> listener)
{
    std::lock_guard<std::mutex> lock(listener_->mutex);
    listener_->report = std::move(listener);
}

int ETextToSpeech::wordsPerMinute(int rate)
{
    const double wpm = espeakRATE_NORMAL * std::pow(3.0, qBound(-10, rate, 10) / 10.0);
    return qBound(espeakRATE_MINIMUM, int(std::lround(wpm)), espeakRATE_MAXIMUM);
}
