#pragma once

#include <QString>

// Passwords are never stored: `users.patientword` holds an Argon2id hash (libsodium's
// crypto_pwhash_str, "$argon2id$..."). Rows written before hashing still hold the password itself
// until the account's next login or save; `verify` accepts both so nobody is locked out meanwhile.
namespace PasswordHash {

// A new Argon2id hash of `password` (UTF-8), salted at random; empty if libsodium fails (out of
// memory).
QString make(const QString& password);

// Whether `stored` is a hash made by `make` (as opposed to a password kept from before hashing).
bool isHash(const QString& stored);

// Whether `password` is the one `stored` was made from. A plain `stored` is compared exactly; a
// damaged hash string matches nothing.
bool verify(const QString& stored, const QString& password);

// A remembered login: a random token for the settings file and the hash the database keeps of it.
// The token is 256 random bits, so a fast hash (BLAKE2b) is enough to keep it secret.
QString newToken();
QString tokenHash(const QString& token);

} // namespace PasswordHash
