#pragma once

#include "FakeSoundPlayer.h"
#include "TestInstall.h"
#include "db/Databases.h"
#include "db/SqlRun.h"
#include "link/AnalyserCapture.h"
#include "link/ReceiveChain.h"

#include <QTimer>
#include <memory>

// A laboratory on SQLite for the receive chain: fresh interface and LIS databases in a throw-away
// install folder, the real chain on them, and what the receive window would show (count, list
// lines) and play. Rows are added through the program's own connection slots.
class ChainLab
{
public:
    ChainLab()
    {
        created = install.createDatabases();
        timersx.setSingleShot(false);
        timersx.setInterval(1500);
    }

    void set(const char* section, const char* key, const QString& value)
    {
        install.setSetting(QString::fromLatin1(section), QString::fromLatin1(key), value);
    }

    // Reads the settings as they stand and makes the chain; call again after changing settings.
    ReceiveChain& start()
    {
        chain.reset();
        context = &install.context();
        context->setSoundPlayer(&sound);
        chain = std::make_unique<ReceiveChain>(*context);
        chain->setSound(&sound, &timersx);
        QObject::connect(chain.get(), &ReceiveChain::resultCounted, [this] { ++counted; });
        QObject::connect(chain.get(), &ReceiveChain::listLineAdded, [this](const QString& l) { lines << l; });
        return *chain;
    }

    QSqlDatabase iface() { return context->databases().OpenInterfaceDbQuiet(1); }
    QSqlDatabase lis() { return context->databases().OpenLisDb(); }

    // A catalogue row; a QVariant without value stands for a null.
    qlonglong addTest(const QString& shortAssay, const QVariant& crvtestid, const QVariant& factor,
                      const QVariant& refrange, const QString& testsimp = QString())
    {
        const auto added = SqlRun::insert(iface(), QStringLiteral("testtable"),
                                          {{"shortAssay", shortAssay},
                                           {"testsimp", testsimp.isEmpty() ? SqlRun::nullText() : QVariant(testsimp)},
                                           {"testabrev", SqlRun::nullText()},
                                           {"subgroupname", SqlRun::nullText()},
                                           {"crvtestid", orNull(crvtestid)},
                                           {"active", true},
                                           {"correctfactors", orNull(factor)},
                                           {"REFRANGE", orNull(refrange)}});
        if (!added)
            qWarning("testtable: %s", qPrintable(added.errorText()));
        return added.lastInsertId.toLongLong();
    }

    void addRange(const SqlRun::Columns& columns)
    {
        const auto added = SqlRun::insert(iface(), QStringLiteral("normalrange"), columns);
        if (!added)
            qWarning("normalrange: %s", qPrintable(added.errorText()));
    }

    void addPatient(const QString& id, const QVariant& sex, const QVariant& age, const QVariant& unit,
                    const QVariant& moreinfo = QString(), const QDate& requested = QDate(2026, 12, 5))
    {
        const auto added = SqlRun::insert(lis(), QStringLiteral("patientinfo"),
                                          {{"patientid", id},
                                           {"patientnamear", QStringLiteral("مريض ") + id.right(3)},
                                           {"patientsefa", QStringLiteral("السيد")},
                                           {"patientsex", orNull(sex)},
                                           {"patientage", orNull(age)},
                                           {"patientageunit", orNull(unit)},
                                           {"referredbysefa", QStringLiteral("د/")},
                                           {"referredbyname", QStringLiteral("سامي حسن")},
                                           {"requestdate", requested},
                                           {"moreinfo", orNull(moreinfo)}});
        if (!added)
            qWarning("patientinfo: %s", qPrintable(added.errorText()));
    }

    void addRequest(const QString& id, int code)
    {
        const auto added = SqlRun::insert(lis(), QStringLiteral("patienttest"),
                                          {{"patientid", id},
                                           {"requestdate", QDate(2026, 12, 5)},
                                           {"testcode", code},
                                           {"testsimp", QStringLiteral("requested")},
                                           {"resultfinsh", false}});
        if (!added)
            qWarning("patienttest: %s", qPrintable(added.errorText()));
    }

    static AnalyserCapture::Result result(const QByteArray& id, const QByteArray& assay, const QByteArray& value,
                                          const QByteArray& reading = {})
    {
        AnalyserCapture::Result r;
        r.sampleId = id;
        r.shortAssay = assay;
        r.longAssay = assay + " long";
        r.at = QDateTime(QDate(2026, 12, 5), QTime(9, 42));
        r.reading = reading;
        r.value = value;
        return r;
    }

    // One session of the analyser with these results, through the chain.
    void receive(const QList<AnalyserCapture::Result>& results)
    {
        QByteArray area = AnalyserCapture::session(results);
        chain->ParseMessages(area);
    }

    QList<QSqlRecord> results(const QString& where = QStringLiteral("1=1"))
    {
        const SqlRun::Rows rows =
            SqlRun::select(iface(), QStringLiteral("SELECT * FROM Result WHERE %1 ORDER BY AutoNum").arg(where));
        if (!rows)
            qWarning("Result: %s", qPrintable(rows.errorText()));
        return rows.records;
    }

    QSqlRecord request(const QString& id, int code)
    {
        return SqlRun::first(lis(), QStringLiteral("SELECT * FROM patienttest WHERE patientid=? AND testcode=?"),
                             {id, code})
            .value_or(QSqlRecord());
    }

    static QVariant orNull(const QVariant& v) { return v.isValid() ? v : SqlRun::nullText(); }

    TestInstall install;
    FakeSoundPlayer sound;
    QTimer timersx;
    AppContext* context = nullptr;
    std::unique_ptr<ReceiveChain> chain;
    QStringList lines;
    int counted = 0;
    bool created = false;
};
