#pragma once

#include "TestInstall.h"
#include "reports/ReportBuilder.h"

// A laboratory for reports: a throw-away install with results stored on the fake clock's day
// (5 Dec 2026) and the report settings of a lab that shows everything.
//
//  AutoNum  patient (ID)                                  result
//  1        السيد أحمد محمود علي (2601140001230)          TSH 7.5 uUI/ml H, 0.25 - 5.00, a comment
//  2        the same                                      FT4 12.79 pmol/l, no flag, 9 - 19
//  3        the same, the day before                      TSH 3.1
//  4        a namesake (2601140009995)                    PRL 15
//  5        O'Brien 100% Smith (O1)                       CRP 3.4 mg/l L, no range
//  6        "FER   08:05 AM" without an ID                FER > 1200 ng/ml
//  7        the same name with an ID (2601140001247)      FER 80
//  8        a 500-character mixed Arabic/Latin name (X500) CRP 1.2
class ReportLab
{
public:
    ReportLab();

    // The selection the main window has for result `autoNum`, as stored. It reads through a fresh
    // context of the install, so take it before the context a test keeps.
    ReportSelection selection(int autoNum);
    // The report of `layout` for the selection, built as printing would.
    BuiltReport build(const QString& layout, const ReportSelection& selection);
    static QString longName();

    TestInstall install;
    bool ready = false;
};
