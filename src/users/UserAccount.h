#pragma once

#include <QString>
#include <QtGlobal>

// One row of `users`: name, stored password (an Argon2id hash, or on rows from before hashing the
// password itself), the account kind and the seven grants.
struct UserAccount
{
    qint64 id = 0; // patientusid; 0 before the row exists
    QString name;
    QString password;
    bool administrator = false; // patientad (option Optx)
    bool ordinaryUser = false;  // patientus (option Opty)
    bool grant1 = false;
    bool grant2 = false;
    bool grant4 = false;
    bool grant5 = false;
    bool grant6 = false;
    bool grant7 = false;
    bool grant8 = false;

    bool operator==(const UserAccount&) const = default;
};
