#include "db/ConnectionStrings.h"

#include <QDir>

namespace ConnectionStrings {

namespace {

// What the settings file would give: text up to a NUL, without surrounding blanks.
QString settingValue(const QString& text)
{
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return (nul < 0 ? text : text.left(nul)).trimmed();
}

const QStringList& knownKeys()
{
    static const QStringList keys{
        QStringLiteral("Provider"),
        QStringLiteral("Integrated Security"),
        QStringLiteral("Persist Security Info"),
        QStringLiteral("Password"),
        QStringLiteral("User ID"),
        QStringLiteral("Initial Catalog"),
        QStringLiteral("Data Source"),
    };
    return keys;
}

bool startsWithKnownKey(const QString& segment)
{
    const qsizetype eq = segment.indexOf(QLatin1Char('='));
    if (eq < 0)
        return false;
    const QString key = segment.left(eq).trimmed();
    for (const QString& known : knownKeys()) {
        if (key.compare(known, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

QString sqlServer(qint16 authentication, const QString& server, const QString& userId, const QString& password,
                  const QString& catalog)
{
    if (authentication == 0) {
        return QStringLiteral("Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;"
                              "Initial Catalog=") +
               catalog + QStringLiteral(";Data Source=") + settingValue(server);
    }
    return QStringLiteral("Provider=SQLOLEDB.1;Password=") + settingValue(password) +
           QStringLiteral(";Persist Security Info=True;User ID=") + settingValue(userId) +
           QStringLiteral(";Initial Catalog=") + catalog + QStringLiteral(";Data Source=") + settingValue(server);
}

QString InterfaceConnString(const AppSettings& s)
{
    return sqlServer(s.CRIauthentication, s.serverName, s.serverUserID, s.serverPassword, interfaceCatalog);
}

QString LisConnString(const AppSettings& s)
{
    if (s.CRVaccess != 0)
        return {};
    return sqlServer(s.CRVauthentication, s.lisServerName, s.lisUserID, s.lisPassword, lisCatalog);
}

QList<std::pair<QString, QString>> parse(const QString& oledb)
{
    QList<std::pair<QString, QString>> pairs;
    if (oledb.isEmpty())
        return pairs;
    for (const QString& segment : oledb.split(QLatin1Char(';'))) {
        if (startsWithKnownKey(segment) || pairs.isEmpty()) {
            const qsizetype eq = segment.indexOf(QLatin1Char('='));
            if (eq < 0)
                pairs.append({segment.trimmed(), QString()});
            else
                pairs.append({segment.left(eq).trimmed(), segment.mid(eq + 1)});
        } else {
            pairs.last().second += QLatin1Char(';') + segment;
        }
    }
    return pairs;
}

QString value(const QString& oledb, const QString& key)
{
    for (const auto& [k, v] : parse(oledb)) {
        if (k.compare(key, Qt::CaseInsensitive) == 0)
            return v;
    }
    return {};
}

QString odbcValue(const QString& value)
{
    // Only what would end the attribute or be trimmed away; drivers differ in how they read the rest.
    static const QString special = QStringLiteral(";{}");
    bool needsBraces = value.isEmpty() ? false : (value.front().isSpace() || value.back().isSpace());
    for (const QChar c : value) {
        if (special.contains(c)) {
            needsBraces = true;
            break;
        }
    }
    if (!needsBraces)
        return value;
    QString escaped = value;
    escaped.replace(QLatin1Char('}'), QStringLiteral("}}"));
    return QLatin1Char('{') + escaped + QLatin1Char('}');
}

QString odbcForSqlServer(const QString& oledb, const QString& driver)
{
    QString odbc = QStringLiteral("DRIVER={%1};SERVER=%2;DATABASE=%3")
                       .arg(driver, odbcValue(value(oledb, QStringLiteral("Data Source"))),
                            odbcValue(value(oledb, QStringLiteral("Initial Catalog"))));
    if (value(oledb, QStringLiteral("Integrated Security")).compare(QLatin1String("SSPI"), Qt::CaseInsensitive) == 0) {
        odbc += QStringLiteral(";Trusted_Connection=yes");
    } else {
        odbc += QStringLiteral(";UID=") + odbcValue(value(oledb, QStringLiteral("User ID"))) + QStringLiteral(";PWD=") +
                odbcValue(value(oledb, QStringLiteral("Password")));
    }
    return odbc;
}

QString odbcForJet(const QString& file, const QString& driver)
{
    return QStringLiteral("DRIVER={%1};DBQ=%2").arg(driver, odbcValue(QDir::toNativeSeparators(file)));
}

QString defaultSqlServerDriver()
{
#ifdef Q_OS_WIN
    return QStringLiteral("SQL Server");
#else
    return QStringLiteral("FreeTDS");
#endif
}

QStringList defaultJetDrivers()
{
    // A 64-bit Windows has only the first; a 32-bit Office install only the second.
    return {QStringLiteral("Microsoft Access Driver (*.mdb, *.accdb)"),
            QStringLiteral("Microsoft Access Driver (*.mdb)")};
}

QString jetLisFile(const QString& installFolder)
{
#ifdef Q_OS_WIN
    Q_UNUSED(installFolder)
    return QStringLiteral("D:/corvana system/bin/Patients.mdb");
#else
    return QDir(installFolder).filePath(QStringLiteral("corvana system/bin/Patients.mdb"));
#endif
}

} // namespace ConnectionStrings
