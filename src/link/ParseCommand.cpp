#include "config/AppSettings.h"
#include "link/AnalyserCapture.h"
#include "link/FrameCheck.h"
#include "link/LinkCommands.h"
#include "link/MessageParser.h"
#include "link/SerialSession.h"
#include "platform/Clock.h"
#include "platform/InstallFolder.h"

#include <QFile>
#include <QFileInfo>

#include <utility>

namespace {

// The record's fields in their declared order, so that the JSON keys keep it (QJsonObject would
// sort them).
QList<std::pair<const char*, QString>> fieldsOf(const CurrentResult& r)
{
    return {
        {"LblSampID", r.LblSampID},
        {"LblPatID", r.LblPatID},
        {"Txt_shortAssay", r.Txt_shortAssay},
        {"Txt_LongAssay", r.Txt_LongAssay},
        {"LblTestTime", r.LblTestTime},
        {"LblTestDate", r.LblTestDate},
        {"Txt_resultt2", r.Txt_resultt2},
        {"Txt_resultt3", r.Txt_resultt3},
        {"Txt_TESTUNIT", r.Txt_TESTUNIT},
        {"Txt_resultt1", r.Txt_resultt1},
        {"LblPatName", r.LblPatName},
        {"LblSex", r.LblSex},
        {"LblAgeN", r.LblAgeN},
        {"LblAgeU", r.LblAgeU},
        {"LblDocName", r.LblDocName},
        {"Txt_patientsefa", r.Txt_patientsefa},
        {"Txt_DocSEFA", r.Txt_DocSEFA},
        {"Chk_pregsmok", QString::number(r.Chk_pregsmok)},
        {"Txt_correctfactors", r.Txt_correctfactors},
        {"Txt_CODE", r.Txt_CODE},
        {"Txt_CRVTESTCODE", r.Txt_CRVTESTCODE},
        {"Txt_testabrev", r.Txt_testabrev},
        {"Txt_testsimp", r.Txt_testsimp},
        {"Txt_subgroupname", r.Txt_subgroupname},
        {"Txt_REFRANGE", r.Txt_REFRANGE},
        {"Txt_TESTNOTRMAL", r.Txt_TESTNOTRMAL},
        {"Txt_TEST_min", r.Txt_TEST_min},
        {"Txt_TEST_max", r.Txt_TEST_max},
        {"Txt_TEST_minEX", r.Txt_TEST_minEX},
        {"Txt_TEST_maxEX", r.Txt_TEST_maxEX},
        {"Txt_LOWCOMMENT", r.Txt_LOWCOMMENT},
        {"Txt_HIGHCOMMENT", r.Txt_HIGHCOMMENT},
        {"Txt_TEST_F", r.Txt_TEST_F},
        {"txt_comment", r.txt_comment},
        {"Txt_listinfo", r.Txt_listinfo},
        {"Txt_listinfo2", r.Txt_listinfo2},
    };
}

QString jsonString(const QString& text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"':
            out += QLatin1String("\\\"");
            break;
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += QLatin1Char('"');
    return out;
}

QString jsonLine(const MessageParser::Parsed& parsed, const char* checksum)
{
    QString line = QStringLiteral("{");
    const auto add = [&line](const char* key, const QString& value) {
        if (line.size() > 1)
            line += QLatin1Char(',');
        line += jsonString(QString::fromLatin1(key)) + QLatin1Char(':') + jsonString(value);
    };
    if (parsed.reading.kind == MessageParser::Reading::Kind::Held) {
        // The receiver holds such a record; it is shown as it came, with the reason.
        add("held", parsed.reading.reason);
        add("record", QStringLiteral("mtrsl") + parsed.piece);
    } else {
        for (const auto& [key, value] : fieldsOf(parsed.record))
            add(key, value);
        add("layout", QString::fromLatin1(MessageParser::layoutName(parsed.reading.layout)));
        add("instrument", parsed.record.LblInstrument);
        add("serialno", parsed.record.LblSerialNo);
    }
    add("checksum", QString::fromLatin1(checksum));
    return line + QLatin1Char('}');
}

} // namespace

// parse FILE: the file is one message area; every record it gives is printed as a JSON line.
// Only the reading is done: nothing is evaluated or stored, so no database is needed.
int commandParse(const CommandArgs& args)
{
    if (args.words.size() != 1) {
        args.err << "corvana-vidas: parse needs exactly one capture file: corvana-vidas parse FILE\n";
        return 2;
    }
    const QString path = args.words.first();
    const QFileInfo info(path);
    if (!info.exists()) {
        args.err << "corvana-vidas: " << path << ": no such file\n";
        return 1;
    }
    if (info.isDir()) {
        args.err << "corvana-vidas: " << path << ": is a folder, not a capture file\n";
        return 1;
    }
    if (!info.isFile()) {
        args.err << "corvana-vidas: " << path << ": is not a regular file (a device or a pipe), not a capture file\n";
        return 1;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        args.err << "corvana-vidas: " << path << ": cannot be read (" << file.errorString() << ")\n";
        return 1;
    }

    // Without an install folder or settings file the records' own date and time are used.
    const AppSettings settings = AppSettings::load(InstallFolder(args.home).settingsIni());
    MessageParser::Options options;
    options.timeFromClock = settings.PCdateYN == 1;
    options.now = SystemClock().now();
    options.dateOrder = TagRecord::dateOrderFrom(settings.DateOrder);

    // Every record is printed, those of a frame whose checksum fails too, so that the damage can
    // be seen; the chain itself never takes them. The file is read a piece at a time, each cut
    // after a session's EOT (or, failing that, after a frame), so that any size takes little memory.
    const auto print = [&](const QByteArray& bytes) {
        for (const FrameCheck::Segment& segment : FrameCheck::segments(bytes)) {
            const char* checksum = FrameCheck::name(segment.checksum);
            for (const MessageParser::Parsed& parsed :
                 MessageParser::parsePieces(MessageParser::decode(segment.bytes), options))
                args.out << jsonLine(parsed, checksum) << '\n';
        }
    };
    constexpr qint64 kPiece = 1 << 20;
    QByteArray buffer;
    for (;;) {
        const QByteArray chunk = file.read(kPiece);
        if (chunk.isEmpty())
            break;
        buffer += chunk;
        qsizetype cut = buffer.lastIndexOf(SerialSession::EOT) + 1;
        if (cut == 0 && buffer.size() >= 4 * kPiece) {
            const qsizetype gs = buffer.lastIndexOf(AnalyserCapture::GS);
            cut = gs >= 0 ? std::min(gs + 3, buffer.size()) : buffer.size();
        }
        print(buffer.left(cut));
        buffer.remove(0, cut);
    }
    print(buffer);
    if (file.error() != QFileDevice::NoError) {
        args.err << "corvana-vidas: " << path << ": cannot be read (" << file.errorString() << ")\n";
        return 1;
    }
    return 0;
}
