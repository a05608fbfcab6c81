#include "FakeKeyboardLayout.h"
#include "platform/SingleInstance.h"

#include <QTemporaryDir>
#include <QTest>

class TestPlatformLayers : public QObject
{
    Q_OBJECT

private slots:
    void keyboardKinds_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("requests");
        QTest::newRow("arabic") << 1 << QStringList{QStringLiteral("00000401")};
        QTest::newRow("english") << 2 << QStringList{QStringLiteral("00000409")};
        QTest::newRow("zero does nothing") << 0 << QStringList{};
        QTest::newRow("three does nothing") << 3 << QStringList{};
        QTest::newRow("negative does nothing") << -1 << QStringList{};
    }

    void keyboardKinds()
    {
        QFETCH(int, kind);
        QFETCH(QStringList, requests);
        FakeKeyboardLayout keyboard;
        SetKeyboardLayout(keyboard, kind);
        QCOMPARE(keyboard.requests, requests);
    }

    void systemKeyboardRemembersTheLastLayout()
    {
        SystemKeyboardLayout keyboard;
        SetKeyboardLayout(keyboard, 2);
        SetKeyboardLayout(keyboard, 1);
        SetKeyboardLayout(keyboard, 7);
        QCOMPARE(keyboard.lastLayout(), QStringLiteral("00000401"));
    }

    void secondCopyIsRefusedWhileTheFirstRuns()
    {
        QTemporaryDir folder;
        SystemSingleInstance first(QStringLiteral("Corvana interface VIDAS"), folder.path());
        QVERIFY(!first.anotherCopyRuns());
        // Asking again from the copy that holds the guard changes nothing.
        QVERIFY(!first.anotherCopyRuns());
        {
            SystemSingleInstance second(QStringLiteral("Corvana interface VIDAS"), folder.path());
            QVERIFY(second.anotherCopyRuns());
            QVERIFY(second.anotherCopyRuns());
        }
        // The refused copy going away leaves the first one's guard in place.
        SystemSingleInstance third(QStringLiteral("Corvana interface VIDAS"), folder.path());
        QVERIFY(third.anotherCopyRuns());
    }

    void guardIsFreeOnceTheFirstCopyEnds()
    {
        QTemporaryDir folder;
        {
            SystemSingleInstance first(QStringLiteral("Corvana interface VIDAS"), folder.path());
            QVERIFY(!first.anotherCopyRuns());
        }
        SystemSingleInstance next(QStringLiteral("Corvana interface VIDAS"), folder.path());
        QVERIFY(!next.anotherCopyRuns());
    }

    void otherTitlesDoNotCollide()
    {
        QTemporaryDir folder;
        SystemSingleInstance one(QStringLiteral("Corvana interface VIDAS"), folder.path());
        SystemSingleInstance other(QStringLiteral("Another/program: title"), folder.path());
        QVERIFY(!one.anotherCopyRuns());
        QVERIFY(!other.anotherCopyRuns());
        QVERIFY(other.lockFilePath().startsWith(folder.path()));
        QVERIFY(!QFileInfo(other.lockFilePath()).fileName().contains(QLatin1Char(':')));
    }
};

QTEST_GUILESS_MAIN(TestPlatformLayers)
#include "tst_PlatformLayers.moc"
