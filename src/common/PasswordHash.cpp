#include "common/PasswordHash.h"

#include <QByteArray>
#include <cstring>
#include <sodium.h>

namespace PasswordHash {
namespace {
const QLatin1String kPrefix("$argon2id$");

bool ready()
{
    // Safe to call from any thread, any number of times; negative only when libsodium cannot work.
    return sodium_init() >= 0;
}
} // namespace

QString make(const QString& password)
{
    if (!ready())
        return {};
    const QByteArray utf8 = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, utf8.constData(), static_cast<unsigned long long>(utf8.size()),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        return {};
    return QString::fromLatin1(out);
}

bool isHash(const QString& stored)
{
    return stored.startsWith(kPrefix);
}

bool verify(const QString& stored, const QString& password)
{
    if (!isHash(stored))
        return !stored.isEmpty() && stored == password;
    const QByteArray hash = stored.toLatin1();
    if (!ready() || hash.size() >= crypto_pwhash_STRBYTES)
        return false;
    char terminated[crypto_pwhash_STRBYTES] = {};
    memcpy(terminated, hash.constData(), static_cast<size_t>(hash.size()));
    const QByteArray utf8 = password.toUtf8();
    return crypto_pwhash_str_verify(terminated, utf8.constData(), static_cast<unsigned long long>(utf8.size())) == 0;
}

QString newToken()
{
    if (!ready())
        return {};
    QByteArray bytes(32, Qt::Uninitialized);
    randombytes_buf(bytes.data(), static_cast<size_t>(bytes.size()));
    return QString::fromLatin1(bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

QString tokenHash(const QString& token)
{
    if (!ready() || token.isEmpty())
        return {};
    const QByteArray utf8 = token.toUtf8();
    unsigned char out[crypto_generichash_BYTES];
    crypto_generichash(out, sizeof out, reinterpret_cast<const unsigned char*>(utf8.constData()),
                       static_cast<unsigned long long>(utf8.size()), nullptr, 0);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(out), sizeof out).toHex());
}

} // namespace PasswordHash
