#include "platform/MediaSoundPlayer.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
// A short, silent 8 kHz mono WAV file.
bool writeSilence(const QString& path, int milliseconds)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const quint32 rate = 8000;
    const quint32 samples = rate * static_cast<quint32>(milliseconds) / 1000;
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + samples * 2);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << rate << quint32(rate * 2) << quint16(2) << quint16(16);
    out.writeRawData("data", 4);
    out << quint32(samples * 2);
    for (quint32 i = 0; i < samples; ++i)
        out << qint16(0);
    return out.status() == QDataStream::Ok;
}
} // namespace

class tst_MediaSoundPlayer : public QObject
{
    Q_OBJECT

private slots:
    void missingOrUnreadableFilesAreRefused()
    {
        QTemporaryDir dir;
        MediaSoundPlayer player;
        QVERIFY(!player.open(dir.filePath("missing.mp3")));
        QVERIFY(!player.open(dir.path())); // a folder, as when no sound name is set
        QVERIFY(!player.play());
        player.close(); // harmless with nothing open
    }

    void playsAndCloses()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("ding.wav");
        QVERIFY(writeSilence(file, 3000));
        MediaSoundPlayer player;
        if (!player.open(file))
            QSKIP("no usable multimedia back end on this machine");
        QCOMPARE(qgetenv("QT_MEDIA_BACKEND"), QByteArray("gstreamer"));
        QVERIFY(player.play());
        QTest::qWait(200);
        player.close();
        QVERIFY(!player.play()); // closed: nothing to play until the next open
        QVERIFY(player.open(file));
        QVERIFY(player.play());
        player.close();
    }
};

QTEST_GUILESS_MAIN(tst_MediaSoundPlayer)
#include "tst_MediaSoundPlayer.moc"
