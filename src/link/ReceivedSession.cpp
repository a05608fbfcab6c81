#include "link/ReceivedSession.h"

#include "link/AnalyserCapture.h"

#include <QCryptographicHash>

QString ReceivedSession::digest() const
{
    const qsizetype rs = bytes.indexOf(AnalyserCapture::RS);
    const QByteArrayView content = rs < 0 ? QByteArrayView(bytes) : QByteArrayView(bytes).sliced(rs);
    return QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex());
}

const char* ReceivedSession::originName(Origin origin)
{
    switch (origin) {
    case Origin::Line:
        return "line";
    case Origin::Recovered:
        return "recovered";
    case Origin::Replayed:
        return "replay";
    case Origin::Direct:
        break;
    }
    return "direct";
}
