#include "config/IniFile.h"

#include "config/Cp1256.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace {

const QByteArray kUtf8Bom("\xEF\xBB\xBF");

enum class Encoding
{
    Cp1256,
    Utf8
};

struct RawFile
{
    QByteArray bytes;
    Encoding encoding = Encoding::Cp1256;
    bool asciiOnly = true;
    bool hasBom = false;
};

bool isValidUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

RawFile load(const QString& path)
{
    RawFile raw;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return raw;
    raw.bytes = file.readAll();
    raw.hasBom = raw.bytes.startsWith(kUtf8Bom);
    for (const char c : raw.bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            raw.asciiOnly = false;
            break;
        }
    }
    if (raw.hasBom || (!raw.asciiOnly && isValidUtf8(raw.bytes)))
        raw.encoding = Encoding::Utf8;
    return raw;
}

QString decodeLine(QByteArrayView line, Encoding encoding)
{
    if (encoding == Encoding::Utf8)
        return QString::fromUtf8(line);
    return Cp1256::decode(line);
}

// One line of the file as byte offsets, the line terminator excluded.
struct Line
{
    qsizetype begin;
    qsizetype end;  // end of the content, before CR LF / LF
    qsizetype next; // start of the following line
};

QList<Line> splitLines(const QByteArray& bytes, qsizetype start)
{
    QList<Line> lines;
    qsizetype pos = start;
    while (pos < bytes.size()) {
        qsizetype nl = bytes.indexOf('\n', pos);
        const qsizetype next = nl < 0 ? bytes.size() : nl + 1;
        qsizetype end = nl < 0 ? bytes.size() : nl;
        if (end > pos && bytes.at(end - 1) == '\r')
            --end;
        lines.append({pos, end, next});
        pos = next;
    }
    return lines;
}

// A "[name]" line: returns true and the trimmed name.
bool sectionName(const QString& line, QString* name)
{
    const QString t = line.trimmed();
    if (!t.startsWith(u'['))
        return false;
    const qsizetype close = t.indexOf(u']');
    *name = (close < 0 ? t.mid(1) : t.mid(1, close - 1)).trimmed();
    return true;
}

bool keyValue(const QString& line, QString* key, QString* value)
{
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0)
        return false;
    *key = line.left(eq).trimmed();
    *value = line.mid(eq + 1);
    return true;
}

struct Located
{
    qsizetype sectionLine = -1;     // index of the [section] line
    qsizetype lastContentLine = -1; // last non-blank line of the section
    qsizetype keyLine = -1;
    QString keyText; // the key as written in the file
    QString value;
};

Located locate(const RawFile& raw, const QList<Line>& lines, const QString& section, const QString& key)
{
    Located found;
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString text =
            decodeLine(QByteArrayView(raw.bytes).sliced(lines[i].begin, lines[i].end - lines[i].begin), raw.encoding);
        QString name;
        if (sectionName(text, &name)) {
            if (inSection)
                break; // the first section of that name is the one that counts
            inSection = name.compare(section.trimmed(), Qt::CaseInsensitive) == 0;
            if (inSection) {
                found.sectionLine = i;
                found.lastContentLine = i;
            }
            continue;
        }
        if (!inSection)
            continue;
        if (!text.trimmed().isEmpty())
            found.lastContentLine = i;
        QString k;
        QString v;
        if (found.keyLine < 0 && keyValue(text, &k, &v) && k.compare(key.trimmed(), Qt::CaseInsensitive) == 0) {
            found.keyLine = i;
            found.keyText = k;
            found.value = v;
        }
    }
    return found;
}

QString cleanValue(QString value)
{
    value = value.trimmed();
    value.truncate(IniFormat::kMaxValueLength);
    const qsizetype nul = value.indexOf(QChar(u'\0'));
    if (nul >= 0)
        value.truncate(nul);
    return value.trimmed();
}

} // namespace

QString ReadIni(const QString& file, const QString& section, const QString& key)
{
    const RawFile raw = load(file);
    if (raw.bytes.isEmpty())
        return {};
    const QList<Line> lines = splitLines(raw.bytes, raw.hasBom ? kUtf8Bom.size() : 0);
    const Located found = locate(raw, lines, section, key);
    if (found.keyLine < 0)
        return {};
    return cleanValue(found.value);
}

bool WriteIni(const QString& file, const QString& section, const QString& key, const QString& value)
{
    RawFile raw = load(file);
    // A line break inside a value would start a new line, and with it a new key: keep it on one line.
    QString oneLine = value;
    oneLine.replace(u'\r', u' ').replace(u'\n', u' ');

    if (raw.asciiOnly && !raw.hasBom)
        raw.encoding = Cp1256::canEncode(oneLine) && Cp1256::canEncode(section) && Cp1256::canEncode(key)
                           ? Encoding::Cp1256
                           : Encoding::Utf8;
    const auto encode = [&raw](const QString& text) {
        return raw.encoding == Encoding::Utf8 ? text.toUtf8() : Cp1256::encode(text);
    };
    const QByteArray eol =
        raw.bytes.contains("\r\n") || !raw.bytes.contains('\n') ? QByteArray("\r\n") : QByteArray("\n");

    const QList<Line> lines = splitLines(raw.bytes, raw.hasBom ? kUtf8Bom.size() : 0);
    const Located found = locate(raw, lines, section, key);
    QByteArray out;
    if (found.keyLine >= 0) {
        const Line& line = lines[found.keyLine];
        out = raw.bytes.left(line.begin) + encode(found.keyText + u'=' + oneLine) + raw.bytes.mid(line.end);
    } else if (found.sectionLine >= 0) {
        const Line& after = lines[found.lastContentLine];
        QByteArray head = raw.bytes.left(after.next);
        if (after.next == after.end) // last line of the file without a line break
            head += eol;
        out = head + encode(key.trimmed() + u'=' + oneLine) + eol + raw.bytes.mid(after.next);
    } else {
        out = raw.bytes;
        if (!out.isEmpty() && !out.endsWith('\n'))
            out += eol;
        out += encode(u'[' + section.trimmed() + u']') + eol + encode(key.trimmed() + u'=' + oneLine) + eol;
    }

    QSaveFile save(file);
    if (!save.open(QIODevice::WriteOnly))
        return false;
    save.write(out);
    return save.commit();
}
