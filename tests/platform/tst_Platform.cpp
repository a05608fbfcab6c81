#include "FakeKeyboardLayout.h"
#include "platform/MediaSoundPlayer.h"
#include "platform/SingleInstance.h"

#include <QDir>
#include <QMediaPlayer>
#include <QTemporaryDir>
#include <QTest>

// The small layers over the operating system: keyboard layouts, the single-instance guard, sounds.

class tst_Platform : public QObject
{
    Q_OBJECT

private slots:
    void keyboardLayouts()
    {
        // Kind 1 asks for Arabic, kind 2 for English (US); any other kind asks for nothing.
        FakeKeyboardLayout keyboard;
        for (const int kind : {1, 2, 0, 3, -1})
            SetKeyboardLayout(keyboard, kind);
        QCOMPARE(keyboard.requests, QStringList({"00000401", "00000409"}));
        SystemKeyboardLayout system;
        for (const int kind : {2, 1, 7})
            SetKeyboardLayout(system, kind);
        QCOMPARE(system.lastLayout(), QStringLiteral("00000401"));
    }

    void oneCopyAtATime()
    {
        QTemporaryDir folder;
        const QString title = QStringLiteral("Corvana interface VIDAS");
        {
            SystemSingleInstance first(title, folder.path());
            QVERIFY(!first.anotherCopyRuns());
            QVERIFY(!first.anotherCopyRuns()); // asking again from the copy that holds the guard
            // A refused copy going away leaves the first one's guard in place.
            for (int i = 0; i < 2; ++i)
                QVERIFY(SystemSingleInstance(title, folder.path()).anotherCopyRuns());
            SystemSingleInstance other(QStringLiteral("Another/program: title"), folder.path());
            QVERIFY(!other.anotherCopyRuns());
            QCOMPARE(QFileInfo(other.lockFilePath()).dir().path(), folder.path());
            QCOMPARE(QFileInfo(other.lockFilePath()).fileName(), QStringLiteral("Another_program__title.lock"));
        }
        // Free again once the first copy ends.
        SystemSingleInstance next(title, folder.path());
        QVERIFY(!next.anotherCopyRuns());
    }

    void sounds()
    {
        QTemporaryDir dir;
        MediaSoundPlayer player;
        QVERIFY(!player.open(dir.filePath(QStringLiteral("missing.mp3"))));
        QVERIFY(!player.open(dir.path())); // a folder, as when no sound name is set
        QVERIFY(!player.play());
        player.close(); // harmless with nothing open

        QFile wav(dir.filePath(QStringLiteral("ding.wav")));
        QVERIFY(wav.open(QIODevice::WriteOnly));
        wav.write(QByteArray::fromHex(
                      "524946464403000057415645666d74201000000001000100401f0000803e0000020010006461746120030000") +
                  QByteArray(800, '\0'));
        wav.close();
        if (!QMediaPlayer().isAvailable())
            QSKIP("no usable multimedia back end on this machine");
        QVERIFY(player.open(wav.fileName()));
        QVERIFY(player.play());
        player.close();
        QVERIFY(!player.play()); // closed: nothing to play until the next open
    }
};

QTEST_GUILESS_MAIN(tst_Platform)
#include "tst_Platform.moc"
