#include "link/SerialSession.h"

#include <QTest>

using Bytes = QList<QByteArray>;

class TestSerialSession : public QObject
{
    Q_OBJECT

private slots:
    // Each row feeds arrivals one by one. After every cut the test plays the parser: it takes the
    // message area and empties it, so `parsed` lists what the parser got, in order.
    void arrivals_data()
    {
        QTest::addColumn<Bytes>("arrivals");
        QTest::addColumn<QByteArray>("replies");
        QTest::addColumn<QString>("cuts"); // one digit per arrival: 1 = a message was cut
        QTest::addColumn<Bytes>("parsed");
        QTest::addColumn<QByteArray>("buffer");

        const QByteArray z2500(2500, 'z');
        QTest::newRow("lone ENQ is answered and adds nothing")
            << Bytes{"\x05"} << QByteArray("\x06") << "0" << Bytes{} << QByteArray();
        QTest::newRow("every lone ENQ gets its own ACK")
            << Bytes{"\x05", "\x05"} << QByteArray("\x06\x06") << "00" << Bytes{} << QByteArray();
        QTest::newRow("ENQ with data is data") << Bytes{"\x05"
                                                        "ABC"}
                                               << QByteArray() << "0" << Bytes{}
                                               << QByteArray("\x05"
                                                             "ABC");
        QTest::newRow("two ENQs in one read are data")
            << Bytes{"\x05\x05"} << QByteArray() << "0" << Bytes{} << QByteArray("\x05\x05");
        QTest::newRow("ENQ with data reaches the message area") << Bytes{"\x05"
                                                                         "data\x04"}
                                                                << QByteArray() << "1"
                                                                << Bytes{"\x05"
                                                                         "data\x04"}
                                                                << QByteArray();
        QTest::newRow("handshake then message in pieces") << Bytes{"\x05",
                                                                   "\x02"
                                                                   "abc",
                                                                   "def", "\x03\x04"}
                                                          << QByteArray("\x06") << "0001"
                                                          << Bytes{"\x02"
                                                                   "abcdef\x03\x04"}
                                                          << QByteArray();
        QTest::newRow("no EOT: everything waits in the buffer")
            << Bytes{"a", "b", "c", "\r\n"} << QByteArray() << "0000" << Bytes{} << QByteArray("abc\r\n");
        QTest::newRow("ACK and other control bytes are plain data")
            << Bytes{"\x06", "\x15"} << QByteArray() << "00" << Bytes{} << QByteArray("\x06\x15");
        QTest::newRow("two messages in one read: one cut per arrival")
            << Bytes{"m1\x04m2\x04", "x"} << QByteArray() << "11" << Bytes{"m1\x04", "m2\x04"} << QByteArray("x");
        QTest::newRow("second message waits for the next arrival")
            << Bytes{"m1\x04m2\x04"} << QByteArray() << "1" << Bytes{"m1\x04"} << QByteArray("m2\x04");
        QTest::newRow("lone EOT is a message") << Bytes{"\x04"} << QByteArray() << "1" << Bytes{"\x04"} << QByteArray();
        QTest::newRow("EOT first keeps what follows") << Bytes{"\x04"
                                                               "abc"}
                                                      << QByteArray() << "1" << Bytes{"\x04"} << QByteArray("abc");
        QTest::newRow("more than 2500 bytes after EOT: first 2500 kept")
            << Bytes{"m\x04" + z2500 + "tail"} << QByteArray() << "1" << Bytes{"m\x04"} << z2500;
        QTest::newRow("exactly 2500 bytes after EOT: all kept")
            << Bytes{"m\x04" + z2500} << QByteArray() << "1" << Bytes{"m\x04"} << z2500;
        QTest::newRow("cap counts from the EOT, not the arrival")
            << Bytes{QByteArray(2000, 'a'), "b\x04" + QByteArray(3000, 'c')} << QByteArray() << "01"
            << Bytes{QByteArray(2000, 'a') + "b\x04"} << QByteArray(2500, 'c');
        QTest::newRow("single-byte text kept byte for byte")
            << Bytes{"< 8.1 \xB5g/l N\xE9gatif\x04"} << QByteArray() << "1" << Bytes{"< 8.1 \xB5g/l N\xE9gatif\x04"}
            << QByteArray();
        QTest::newRow("ENQ alone between message pieces is answered")
            << Bytes{"abc", "\x05", "d\x04"} << QByteArray("\x06") << "001" << Bytes{"abcd\x04"} << QByteArray();
    }

    void arrivals()
    {
        QFETCH(Bytes, arrivals);
        QFETCH(QByteArray, replies);
        QFETCH(QString, cuts);
        QFETCH(Bytes, parsed);
        QFETCH(QByteArray, buffer);

        SerialSession session;
        QByteArray sent;
        QString cutLog;
        Bytes gotParsed;
        for (const QByteArray& arrival : arrivals) {
            const SerialSession::Actions actions = session.onData(arrival);
            sent += actions.reply;
            cutLog += actions.messageCut ? u'1' : u'0';
            if (actions.messageCut) {
                gotParsed << session.messageArea();
                session.messageArea().clear();
            } else {
                QVERIFY(session.messageArea().isEmpty());
            }
        }
        QCOMPARE(sent, replies);
        QCOMPARE(cutLog, cuts);
        QCOMPARE(gotParsed, parsed);
        QCOMPARE(session.buffer(), buffer);
    }

    void messagesPileUpUntilTheParserTakesThem()
    {
        SerialSession session;
        QVERIFY(session
                    .onData("a\x04"
                            "b\x04")
                    .messageCut);
        QVERIFY(session.onData("c").messageCut);
        QCOMPARE(session.messageArea(), QByteArray("a\x04"
                                                   "b\x04"));
        QCOMPARE(session.buffer(), QByteArray("c"));
    }

    void resetEmptiesBoth()
    {
        SerialSession session;
        session.onData("m\x04partial");
        session.reset();
        QVERIFY(session.buffer().isEmpty());
        QVERIFY(session.messageArea().isEmpty());
        // Still works after a reset.
        QCOMPARE(session.onData("\x05").reply, QByteArray("\x06"));
    }
};

QTEST_APPLESS_MAIN(TestSerialSession)
#include "tst_SerialSession.moc"
