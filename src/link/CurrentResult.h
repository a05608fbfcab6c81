#pragma once

#include <QString>

// The result record that parsing, evaluation, storage and export share while one record of the
// analyser is processed. Field names are the system's own; every field is reset before a record.
struct CurrentResult
{
    // From the analyser's record.
    QString LblSampID;
    QString LblPatID;
    QString Txt_shortAssay;
    QString Txt_LongAssay;
    QString LblTestTime;
    QString LblTestDate;
    QString Txt_resultt2;
    QString Txt_resultt3;
    QString Txt_TESTUNIT;
    QString Txt_resultt1;
    // Which analyser measured it (the larger models send them; the mini VIDAS does not).
    QString LblInstrument;
    QString LblSerialNo;

    // From the LIS patient.
    QString LblPatName;
    QString LblSex;
    QString LblAgeN;
    QString LblAgeU;
    QString LblDocName;
    QString Txt_patientsefa;
    QString Txt_DocSEFA;
    int Chk_pregsmok = 0;

    // From the catalogue.
    QString Txt_correctfactors = QStringLiteral("1");
    QString Txt_CODE;
    QString Txt_CRVTESTCODE;
    QString Txt_testabrev;
    QString Txt_testsimp;
    QString Txt_subgroupname;
    QString Txt_REFRANGE;

    // From the reference range, and the flag.
    QString Txt_TESTNOTRMAL;
    QString Txt_TEST_min;
    QString Txt_TEST_max;
    QString Txt_TEST_minEX;
    QString Txt_TEST_maxEX;
    QString Txt_LOWCOMMENT;
    QString Txt_HIGHCOMMENT;
    QString Txt_TEST_F;

    QString txt_comment;
    QString Txt_listinfo;
    QString Txt_listinfo2;

    void reset() { *this = CurrentResult(); }
};
