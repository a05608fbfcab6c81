#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// Every table and column of the interface database that the program reads or writes.
inline const QMap<QString, QStringList>& interfaceColumns()
{
    static const QMap<QString, QStringList> tables{
        {"users",
         {"patientusid", "patientusname", "patientword", "patientad", "patientus", "grant1", "grant2", "grant4",
          "grant5", "grant6", "grant7", "grant8"}},
        {"testtable",
         {"testcode", "shortAssay", "testsimp", "testabrev", "subgroupname", "crvtestid", "active", "correctfactors",
          "REFRANGE", "arrangnum", "otherlabprice"}},
        {"normalrange",
         {"normalid", "testcode", "testsimp", "sex", "ageunit", "firstold", "secondold", "pregsmok", "lowlimit",
          "highlimit", "nolowexe", "nohighexe", "lowcomment", "highcomment", "normalrang", "testunit", "REFRANGE"}},
        {"comments", {"commentid", "testcode", "testsimp", "Comments"}},
        {"Result",
         {"AutoNum",     "SampleID",  "patientid",    "Patientname",     "sex",       "ageN",      "ageU",
          "patientsefa", "DocName",   "Drsefa",       "Testdate",        "TestTime",  "sending",   "testcode",
          "testsimp",    "testabrev", "subgroupname", "shortAssay",      "crvtestid", "arrangnum", "REFRANGE",
          "LongAssay",   "resultt1",  "resultt2",     "resultt3",        "testunit",  "lowlimit",  "highlimit",
          "nolowexe",    "nohighexe", "normalrang",   "RESULTCASEPRINT", "comment",   "editedby"}},
    };
    return tables;
}
