#include "config/IniFile.h"

#include "config/Cp1256.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace {

const QByteArray kUtf8Bom("\xEF\xBB\xBF");
const QByteArray kUtf16LeBom("\xFF\xFE");

enum class Encoding
{
    Cp1256,
    Utf8,
    Utf16Le
};

// A settings file as read. Files in a byte encoding are worked on as bytes, UTF-16 files as the
// text's 16-bit units; either way a write changes only the units of the line it touches.
struct RawFile
{
    QByteArray bytes;
    Encoding encoding = Encoding::Cp1256;
    bool asciiOnly = true;
    qsizetype textStart = 0; // after a UTF-8 byte-order mark
    QString units;           // UTF-16 files: the text after the byte-order mark
    QByteArray oddByte;      // UTF-16 files: a last byte without its pair, kept as it was
};

bool isValidUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

// Unit for unit rather than through a decoder, so that even an unpaired surrogate goes back as it was.
QString fromUtf16Le(QByteArrayView bytes)
{
    QString text(bytes.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto low = static_cast<unsigned char>(bytes[2 * i]);
        const auto high = static_cast<unsigned char>(bytes[2 * i + 1]);
        text[i] = QChar(static_cast<char16_t>(low | (high << 8)));
    }
    return text;
}

QByteArray toUtf16Le(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    for (const QChar c : text) {
        bytes.append(static_cast<char>(c.unicode() & 0xFF));
        bytes.append(static_cast<char>(c.unicode() >> 8));
    }
    return bytes;
}

RawFile load(const QString& path)
{
    RawFile raw;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return raw;
    raw.bytes = file.readAll();
    // Windows reads a file that starts with this mark as UTF-16, and writes it back the same way.
    if (raw.bytes.startsWith(kUtf16LeBom)) {
        raw.encoding = Encoding::Utf16Le;
        raw.asciiOnly = false;
        const QByteArrayView text = QByteArrayView(raw.bytes).sliced(kUtf16LeBom.size());
        raw.units = fromUtf16Le(text);
        if (text.size() % 2 != 0)
            raw.oddByte = text.last(1).toByteArray();
        return raw;
    }
    const bool hasBom = raw.bytes.startsWith(kUtf8Bom);
    raw.textStart = hasBom ? kUtf8Bom.size() : 0;
    for (const char c : raw.bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            raw.asciiOnly = false;
            break;
        }
    }
    if (hasBom || (!raw.asciiOnly && isValidUtf8(raw.bytes)))
        raw.encoding = Encoding::Utf8;
    return raw;
}

// One line of the file as offsets (bytes, or UTF-16 units), the line terminator excluded.
struct Line
{
    qsizetype begin;
    qsizetype end;  // end of the content, before CR LF / LF
    qsizetype next; // start of the following line
};

template <typename View> QList<Line> splitLines(View text, qsizetype start)
{
    QList<Line> lines;
    qsizetype pos = start;
    while (pos < text.size()) {
        qsizetype nl = pos;
        while (nl < text.size() && text[nl] != u'\n')
            ++nl;
        const qsizetype next = nl < text.size() ? nl + 1 : nl;
        qsizetype end = nl;
        if (end > pos && text[end - 1] == u'\r')
            --end;
        lines.append({pos, end, next});
        pos = next;
    }
    return lines;
}

QList<Line> splitLines(const RawFile& raw)
{
    if (raw.encoding == Encoding::Utf16Le)
        return splitLines(QStringView(raw.units), 0);
    return splitLines(QByteArrayView(raw.bytes), raw.textStart);
}

QString lineText(const RawFile& raw, const Line& line)
{
    const qsizetype length = line.end - line.begin;
    switch (raw.encoding) {
    case Encoding::Utf16Le:
        return raw.units.sliced(line.begin, length);
    case Encoding::Utf8:
        return QString::fromUtf8(QByteArrayView(raw.bytes).sliced(line.begin, length));
    case Encoding::Cp1256:
        break;
    }
    return Cp1256::decode(QByteArrayView(raw.bytes).sliced(line.begin, length));
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
        const QString text = lineText(raw, lines[i]);
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

// The file's text (bytes or UTF-16 units) with the key set: the key's line replaced, or a line added
// at the end of its section, or the section appended. Everything else stays as it was.
template <typename Text, typename Encode>
Text withKey(const Text& text, const QList<Line>& lines, const Located& found, const QString& section,
             const QString& key, const QString& value, Encode encode)
{
    // Line breaks as the file has them; a file without any gets those of Windows.
    bool anyCrLf = false;
    bool anyBreak = false;
    for (const Line& line : lines) {
        anyCrLf = anyCrLf || line.next - line.end == 2;
        anyBreak = anyBreak || line.next > line.end;
    }
    const Text eol = encode(anyCrLf || !anyBreak ? QStringLiteral("\r\n") : QStringLiteral("\n"));
    if (found.keyLine >= 0) {
        const Line& line = lines[found.keyLine];
        return text.left(line.begin) + encode(found.keyText + u'=' + value) + text.mid(line.end);
    }
    if (found.sectionLine >= 0) {
        const Line& after = lines[found.lastContentLine];
        Text head = text.left(after.next);
        if (after.next == after.end) // last line of the file without a line break
            head += eol;
        return head + encode(key.trimmed() + u'=' + value) + eol + text.mid(after.next);
    }
    Text out = text;
    if (!out.isEmpty() && out.back() != u'\n')
        out += eol;
    out += encode(u'[' + section.trimmed() + u']') + eol + encode(key.trimmed() + u'=' + value) + eol;
    return out;
}

// What the profile functions return for a value: without surrounding blanks, cut at a NUL, without
// one pair of matching quotes (the blanks inside them stay), at most kMaxValueLength characters.
QString cleanValue(QString value)
{
    value = value.trimmed();
    const qsizetype nul = value.indexOf(QChar(u'\0'));
    if (nul >= 0)
        value = value.left(nul).trimmed();
    const bool quoted =
        value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front();
    if (quoted)
        value = value.sliced(1, value.size() - 2);
    value.truncate(IniFormat::kMaxValueLength);
    return quoted ? value : value.trimmed();
}

} // namespace

QString ReadIni(const QString& file, const QString& section, const QString& key)
{
    const RawFile raw = load(file);
    if (raw.bytes.isEmpty())
        return {};
    const QList<Line> lines = splitLines(raw);
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

    if (raw.asciiOnly && raw.textStart == 0)
        raw.encoding = Cp1256::canEncode(oneLine) && Cp1256::canEncode(section) && Cp1256::canEncode(key)
                           ? Encoding::Cp1256
                           : Encoding::Utf8;
    const QList<Line> lines = splitLines(raw);
    const Located found = locate(raw, lines, section, key);
    QByteArray out;
    if (raw.encoding == Encoding::Utf16Le) {
        const auto same = [](const QString& text) { return text; };
        out = kUtf16LeBom + toUtf16Le(withKey(raw.units, lines, found, section, key, oneLine, same)) + raw.oddByte;
    } else {
        const Encoding encoding = raw.encoding;
        const auto encode = [encoding](const QString& text) {
            return encoding == Encoding::Utf8 ? text.toUtf8() : Cp1256::encode(text);
        };
        out = withKey(raw.bytes, lines, found, section, key, oneLine, encode);
    }

    QSaveFile save(file);
    if (!save.open(QIODevice::WriteOnly))
        return false;
    // A password or a remember-me token makes the file private: owner only, before the secret is in it.
    const bool secret = !oneLine.trimmed().isEmpty() && IniFormat::isSecretKey(key);
    if (secret)
        save.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    save.write(out);
    return save.commit() && (!secret || QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
}

bool IniFormat::isSecretKey(const QString& key)
{
    const QString k = key.trimmed();
    return k.compare(QLatin1String("Password"), Qt::CaseInsensitive) == 0 ||
           k.compare(QLatin1String("NIDL"), Qt::CaseInsensitive) == 0;
}
