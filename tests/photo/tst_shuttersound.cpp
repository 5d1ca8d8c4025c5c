#include "recordingsoundoutput.h"
#include "shuttersound.h"

#include <QtEndian>
#include <QtTest>

namespace {

quint32 u32(const QByteArray& b, int at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}
quint16 u16(const QByteArray& b, int at)
{
    return qFromLittleEndian<quint16>(b.constData() + at);
}

QByteArray patched(QByteArray wav, int at, quint16 value)
{
    qToLittleEndian(value, wav.data() + at);
    return wav;
}

}  // namespace

class ShutterSoundTest : public QObject {
    Q_OBJECT
private slots:
    void waveFileIsTheShutterClick()
    {
        const QByteArray wav = shutterSoundWav();
        QCOMPARE(wav.size(), 4412);
        QCOMPARE(wav.left(4) + wav.mid(8, 8), QByteArray("RIFFWAVEfmt "));
        QCOMPARE(u32(wav, 4), 4412u - 8);
        QCOMPARE(u16(wav, 20), quint16(1));  // PCM
        QCOMPARE(u16(wav, 22), quint16(1));  // mono
        QCOMPARE(u32(wav, 24), 22050u);
        QCOMPARE(u32(wav, 28), 44100u);  // bytes per second
        QCOMPARE(u16(wav, 32), quint16(2));  // block align
        QCOMPARE(u16(wav, 34), quint16(16));
        QCOMPARE(wav.mid(48, 4), QByteArray("data"));
        QCOMPARE(u32(wav, 52), 4356u);

        const WavSound sound = parseWav(wav);
        QVERIFY2(sound.ok(), qPrintable(sound.error));
        QCOMPARE(sound.format.sampleRate(), 22050);
        QCOMPARE(sound.format.channelCount(), 1);
        QCOMPARE(sound.format.sampleFormat(), QAudioFormat::Int16);
        QCOMPARE(sound.samples, wav.mid(56));
        int peak = 0;
        for (int i = 0; i < sound.samples.size(); i += 2)
            peak = qMax(peak, qAbs(int(qFromLittleEndian<qint16>(sound.samples.constData() + i))));
        QVERIFY(peak > 8000 && peak < 32767);  // audible, not clipped
    }

    void damagedWaveIsRefused_data()
    {
        const QByteArray good = shutterSoundWav();
        QTest::addColumn<QByteArray>("wav");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not wave") << good.left(8) + "AVI " + good.mid(12);
        QTest::newRow("float samples") << patched(good, 20, 3);
        QTest::newRow("24-bit") << patched(good, 34, 24);
        QTest::newRow("truncated data") << good.left(1000);
        QTest::newRow("data before format") << good.left(12) + good.mid(48);
    }
    void damagedWaveIsRefused()
    {
        QFETCH(QByteArray, wav);
        const WavSound sound = parseWav(wav);
        QVERIFY(!sound.ok() && sound.samples.isEmpty());
    }

    void playerNeverFailsLoudly()
    {
        // With or without an audio server play returns at once; a sound that
        // could not start leaves the player idle.
        SoundPlayer player;
        QVERIFY(!player.play("not a wave"));
        QVERIFY(!player.playing());
        const bool started = player.play(shutterSoundWav());
        QCOMPARE(player.playing(), started);
        player.stop();
        QVERIFY(!player.playing());
    }

    void everySampleReachesTheOutput()
    {
        // The output plays in real time; a player that closed the stream as
        // soon as it had handed over the samples would drop them unheard.
        RecordingSoundOutput::Record record;
        SoundPlayer player(RecordingSoundOutput::recorder(record));
        QSignalSpy finished(&player, &SoundPlayer::finished);
        QVERIFY(player.play(shutterSoundWav()));
        QVERIFY(player.playing());
        QVERIFY(finished.wait(5000));
        QVERIFY(!player.playing());
        QCOMPARE(record.streams, 1);
        const QByteArray samples = parseWav(shutterSoundWav()).samples;
        QVERIFY(record.played.startsWith(samples));
        // Only the silent tail may be cut off.
        QCOMPARE(record.dropped.count('\0'), record.dropped.size());
    }

    void aNewClickCutsTheOldOne()
    {
        RecordingSoundOutput::Record record;
        SoundPlayer player(RecordingSoundOutput::recorder(record));
        QVERIFY(player.play(shutterSoundWav()));
        QVERIFY(player.play(shutterSoundWav()));
        QSignalSpy finished(&player, &SoundPlayer::finished);
        QVERIFY(finished.wait(5000));
        QCOMPARE(record.streams, 2);
        QVERIFY(record.played.endsWith(QByteArray(100, '\0')));
        QVERIFY(record.played.contains(parseWav(shutterSoundWav()).samples));
    }
};

QTEST_MAIN(ShutterSoundTest)
#include "tst_shuttersound.moc"
