#include "TestInstall.h"
#include "db/Databases.h"
#include "link/LisOutbox.h"
#include "review/EditorMessages.h"
#include "review/ResultEditorWindow.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTest>

using namespace Qt::StringLiterals;
using Db = TestInstall::Db;

// Corrections saved in the editor reach the LIS through the outbox, delivered by every running
// program on its own thread: claimed so that one entry is written by one program, taken up again
// when its claimant died, and never holding the window while a database is locked.
class TestEditorOutbox : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestInstall> m_install;
    AppContext* m_ctx = nullptr;

    QString iface(const QString& sql, const QVariantList& values = {})
    {
        return m_install->text(Db::Interface, sql, values);
    }
    QString lis(const QString& sql) { return m_install->text(Db::Lis, sql); }
    qint64 queueCorrection(const QString& value, const QString& patientId = u"2601140001230"_s, int code = 501)
    {
        const SqlRun::Outcome queued =
            LisOutbox::queueColumns(m_ctx->databases().OpenInterfaceDbQuiet(1), 0, patientId, code,
                                    {{u"resultt"_s, value}}, LisOutbox::editorOrigin, m_install->clock.now());
        return queued.lastInsertId.toLongLong();
    }
    LisOutbox::SendOutcome deliverAs(const QString& claimant, const QDateTime& at)
    {
        return LisOutbox::deliver(*m_ctx, at, claimant);
    }
    static LisOutbox::Sender::Pauses quick() { return {200, 20, 100}; }

private slots:
    void init()
    {
        m_install = std::make_unique<TestInstall>();
        QVERIFY(m_install->installDemoData());
        m_install->setSettings({"comsetup/autsavecrv=1"});
        m_ctx = &m_install->context();
        m_ctx->currentUser.name = u"Huda"_s;
        m_ctx->currentUser.grant1 = true;
        m_ctx->currentUser.grant2 = true;
    }

    void claims_data()
    {
        QTest::addColumn<QString>("holder");
        QTest::addColumn<int>("secondsLater");
        QTest::addColumn<bool>("delivered");
        const QString host = QSysInfo::machineHostName();
        QTest::newRow("held by a live program") << u"other-station/77/ab"_s << 60 << false;
        QTest::newRow("its claim ran out") << u"other-station/77/ab"_s << LisOutbox::kClaimSeconds + 1 << true;
        QTest::newRow("a program of this computer that died") << host + u"/%1/ab"_s << 0 << true;
        QTest::newRow("a live program of this computer") << host + u"/1/ab"_s << 60 << false;
    }
    // An entry another program holds is left to it until its claim runs out or its process is gone.
    void claims()
    {
        QFETCH(QString, holder);
        QFETCH(int, secondsLater);
        QFETCH(bool, delivered);
        if (holder.contains(u"%1"_s)) {
            QProcess ended;
            ended.start(u"true"_s);
            QVERIFY(ended.waitForFinished());
            holder = holder.arg(ended.processId());
        }
        const QDateTime now = m_install->clock.now();
        const qint64 id = queueCorrection(u"8.8"_s);
        QVERIFY(LisOutbox::claim(m_ctx->databases().OpenInterfaceDbQuiet(1), id, holder, now));
        const LisOutbox::SendOutcome sent = deliverAs(u"me/1/cd"_s, now.addSecs(secondsLater));
        QCOMPARE(sent.done.size(), delivered ? 1 : 0);
        QCOMPARE(sent.waiting, delivered ? 0 : 1);
        QCOMPARE(lis(u"SELECT COUNT(*) FROM patienttest WHERE resultt='8.8'"_s), delivered ? u"1"_s : u"0"_s);
        QCOMPARE(iface(u"SELECT claimedby IS NULL FROM lisoutbox"_s), delivered ? u"1"_s : u"0"_s);
    }

    // Two programs delivering one outbox at once write each entry once.
    void twoProgramsShareTheOutbox()
    {
        QSet<qint64> queued;
        for (int i = 0; i < 30; ++i)
            queued.insert(queueCorrection(QString::number(i)));
        QList<qint64> delivered;
        LisOutbox::Sender first(*m_ctx, quick());
        LisOutbox::Sender second(*m_ctx, quick());
        for (LisOutbox::Sender* sender : {&first, &second})
            connect(sender, &LisOutbox::Sender::delivered, this, [&delivered](qint64 id) { delivered.append(id); });
        QTRY_COMPARE_WITH_TIMEOUT(iface(u"SELECT COUNT(*) FROM lisoutbox WHERE state='queued'"_s), u"0"_s, 20000);
        QTRY_COMPARE(delivered.size(), 30);
        QCOMPARE(QSet<qint64>(delivered.cbegin(), delivered.cend()), queued);
        QCOMPARE(lis(u"SELECT resultt FROM patienttest WHERE patientid='2601140001230' AND testcode=501"_s), u"29"_s);
    }

    // Save returns while the LIS is locked; the program's sender writes the correction once the
    // lock is gone, and its count of what waits is the outbox table's.
    void saveWhileLisLocked()
    {
        QVERIFY(m_install->exec(
            Db::Interface, u"INSERT INTO Result (SampleID, patientid, Patientname, shortAssay, testsimp, "
                           "resultt1, crvtestid) VALUES ('123','2601140001230','Ahmed','TSH','TSH','2.35',501)"_s));
        const qint64 id = iface(u"SELECT MAX(AutoNum) FROM Result"_s).toLongLong();
        LisOutbox::Sender sender(*m_ctx, quick());
        QSignalSpy waiting(&sender, &LisOutbox::Sender::waitingChanged);
        QTRY_VERIFY(!waiting.isEmpty());
        QVERIFY(m_install->exec(Db::Lis, u"BEGIN EXCLUSIVE"_s));

        QPointer<ResultEditorWindow> editor = new ResultEditorWindow(*m_ctx, id);
        editor->show();
        editor->findChild<QLineEdit*>(u"Txt_TEST_R"_s)->setText(u"7.5"_s);
        QElapsedTimer clock;
        clock.start();
        editor->findChild<QPushButton*>(u"cmd_save"_s)->click();
        qInfo("Save with the LIS locked returned after %lld ms", static_cast<long long>(clock.elapsed()));
        QTRY_VERIFY(!editor); // saved and closed
        sender.deliverSoon();
        QTRY_VERIFY(!waiting.isEmpty() && waiting.last().at(0).toInt() == 1 &&
                    !waiting.last().at(1).toString().isEmpty());
        QCOMPARE(iface(u"SELECT state FROM lisoutbox"_s), u"queued"_s);

        QVERIFY(m_install->exec(Db::Lis, u"COMMIT"_s));
        QTRY_COMPARE_WITH_TIMEOUT(
            lis(u"SELECT resultt FROM patienttest WHERE patientid='2601140001230' AND testcode=501"_s), u"7.5"_s,
            10000);
        QTRY_VERIFY(waiting.last().at(0).toInt() == 0);
        QCOMPARE(m_install->texts(Db::Interface, u"SELECT newvalue FROM resulthistory WHERE columnname='(LIS)' "
                                                 "ORDER BY historyid"_s),
                 QStringList({u"queued"_s, u"delivered"_s}));
    }

    // With the interface database locked by another program, Save gives up at once, writes
    // nothing and keeps what was typed; once the lock is gone the same Save goes through.
    void saveWhileInterfaceLocked()
    {
        QVERIFY(m_install->exec(Db::Interface, u"INSERT INTO Result (SampleID, patientid, Patientname, shortAssay, "
                                               "resultt1) VALUES ('9','P9','Nour','TST','1')"_s));
        const qint64 id = iface(u"SELECT MAX(AutoNum) FROM Result"_s).toLongLong();
        QPointer<ResultEditorWindow> editor = new ResultEditorWindow(*m_ctx, id);
        editor->show();
        editor->findChild<QLineEdit*>(u"Txt_TEST_R"_s)->setText(u"2"_s);
        QVERIFY(m_install->exec(Db::Interface, u"BEGIN EXCLUSIVE"_s));
        QElapsedTimer clock;
        clock.start();
        editor->findChild<QPushButton*>(u"cmd_save"_s)->click();
        qInfo("Save with the interface database locked returned after %lld ms",
              static_cast<long long>(clock.elapsed()));
        QVERIFY(editor);
        QCOMPARE(m_install->dialogs.last().title, EditorMessages::saveFailedTitle);
        QCOMPARE(editor->findChild<QLineEdit*>(u"Txt_TEST_R"_s)->text(), u"2"_s);
        QVERIFY(m_install->exec(Db::Interface, u"COMMIT"_s));
        QCOMPARE(iface(u"SELECT resultt1 FROM Result WHERE AutoNum=?"_s, {id}), u"1"_s);
        editor->findChild<QPushButton*>(u"cmd_save"_s)->click();
        QTRY_VERIFY(!editor);
        QCOMPARE(iface(u"SELECT resultt1 FROM Result WHERE AutoNum=?"_s, {id}), u"2"_s);
    }
};

QTEST_MAIN(TestEditorOutbox)
#include "it_EditorOutbox.moc"
