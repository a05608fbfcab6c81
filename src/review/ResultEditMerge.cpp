#include "review/ResultEdit.h"

namespace ResultEdit {

Fields mergeTyped(const Fields& loaded, const Fields& typed, const Fields& fresh)
{
    static QString Fields::*const texts[] = {
        &Fields::LblSampID,        &Fields::LblPatID,        &Fields::Cmb_patientsefa, &Fields::LblPatName,
        &Fields::Cmb_sex,          &Fields::LblAgeN,         &Fields::Cmb_AgeU,        &Fields::Cmb_drsefa,
        &Fields::LblDocName,       &Fields::LblTestTime,     &Fields::Txt_TEST_C,      &Fields::Txt_shortAssay,
        &Fields::Txt_CODE,         &Fields::Txt_CRVTESTCODE, &Fields::Txt_REFRANGE,    &Fields::Txt_testabrev,
        &Fields::Txt_subgroupname, &Fields::Txt_TEST_R,      &Fields::Txt_TEST_U,      &Fields::Txt_TEST_F,
        &Fields::Txt_TEST_N,       &Fields::Txt_TEST_min,    &Fields::Txt_TEST_max,    &Fields::Txt_TEST_minEX,
        &Fields::Txt_TEST_maxEX,   &Fields::txt_comment};
    Fields merged = fresh;
    for (QString Fields::*field : texts) {
        if (typed.*field != loaded.*field)
            merged.*field = typed.*field;
    }
    if (typed.DTPicker_testdate != loaded.DTPicker_testdate)
        merged.DTPicker_testdate = typed.DTPicker_testdate;
    if (typed.Chk_pregsmok != loaded.Chk_pregsmok)
        merged.Chk_pregsmok = typed.Chk_pregsmok;
    // What the last range look-up found stays with what the user typed.
    for (QString Fields::*field :
         {&Fields::Txt_TESTUNIT, &Fields::Txt_TESTNOTRMAL, &Fields::Txt_LOWCOMMENT, &Fields::Txt_HIGHCOMMENT})
        merged.*field = typed.*field;
    return merged;
}

} // namespace ResultEdit
