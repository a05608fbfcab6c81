#include "review/ResultEdit.h"

#include "common/DateFormats.h"
#include "common/Numbers.h"
#include "core/AppContext.h"
#include "core/Grants.h"
#include "db/Databases.h"
#include "db/SqlRun.h"
#include "db/SqlTransaction.h"
#include "link/ChainValues.h"
#include "link/CurrentResult.h"
#include "link/Evaluation.h"
#include "link/LisExport.h"
#include "link/LisOutbox.h"
#include "link/PatientMatch.h"
#include "link/ResultHistory.h"
#include "link/ResultStore.h"
#include "review/EditorMessages.h"
#include "review/ShortLockWait.h"

#include <QSqlRecord>

namespace ResultEdit {

namespace {

using ChainValues::fieldText;
using SqlRun::textOrNull;

constexpr DbSlot kSlot = DbSlot::InterfaceQuiet1;

// The editor shares the main window's connection: a failure shows its message and the editor stays
// open with what was typed, instead of handing over to the settings window mid-edit.
QSqlDatabase interfaceDb(AppContext& context)
{
    return context.databases().OpenInterfaceDbQuiet(1);
}

// Copies a column into a field when it is not null.
void take(const QSqlRecord& row, const char* column, QString& field)
{
    const QVariant value = row.value(QLatin1String(column));
    if (!value.isNull())
        field = fieldText(value);
}

QString timeText(const QString& stored)
{
    const QTime time = DateFormats::parseTime(stored);
    return time.isValid() ? DateFormats::timeAmPm(time) : stored;
}

void takeCatalogueRow(const QSqlRecord& row, Fields& f)
{
    take(row, "testcode", f.Txt_CODE);
    take(row, "crvtestid", f.Txt_CRVTESTCODE);
    take(row, "testsimp", f.Txt_TEST_C);
    take(row, "testabrev", f.Txt_testabrev);
    take(row, "REFRANGE", f.Txt_REFRANGE);
    take(row, "subgroupname", f.Txt_subgroupname);
}

bool firstCatalogueRow(AppContext& context, const QString& where, const QVariant& value, Fields& f)
{
    const QSqlDatabase db = interfaceDb(context);
    if (!db.isOpen())
        return false;
    const Dialect dialect = context.databases().dialect(kSlot);
    const auto row =
        SqlRun::first(db,
                      QStringLiteral("SELECT ") + dialect.top(1) + QStringLiteral("* FROM testtable where ") + where +
                          QStringLiteral(" ") + dialect.limit(1),
                      {value});
    if (!row)
        return false;
    takeCatalogueRow(*row, f);
    return true;
}

// A prefix for LIKE with its wildcards taken literally.
QString likePrefix(const QString& text, SqlEngine engine)
{
    QString escaped;
    for (const QChar c : text) {
        if (c == u'\\' || c == u'%' || c == u'_' || (c == u'[' && engine == SqlEngine::SqlServer))
            escaped += u'\\';
        escaped += c;
    }
    return escaped + u'%';
}

QStringList suggestions(AppContext& context, const QString& column, const QString& prefix)
{
    static const QStringList ignored{QStringLiteral(" "), QStringLiteral("'"), QStringLiteral("?"), QStringLiteral("؟"),
                                     QStringLiteral("\"")};
    if (prefix.isEmpty() || ignored.contains(prefix))
        return {};
    const QSqlDatabase db = interfaceDb(context);
    if (!db.isOpen())
        return {};
    const Dialect dialect = context.databases().dialect(kSlot);
    const SqlRun::Rows rows =
        SqlRun::select(db,
                       QStringLiteral("Select ") + dialect.top(25) + column + QStringLiteral(" from Result WHERE ") +
                           dialect.caselessLike(column) + QStringLiteral(" group by ") + column +
                           QStringLiteral(" order By ") + column + QStringLiteral(" ") + dialect.limit(25),
                       {likePrefix(prefix, dialect.engine())});
    QStringList names;
    for (const QSqlRecord& row : rows.records) {
        if (!row.value(0).isNull())
            names.append(row.value(0).toString());
    }
    return names;
}

// The record the receive chain's rules read, made from the editor's fields.
CurrentResult chainRecord(const Fields& f)
{
    CurrentResult r;
    r.LblPatID = f.LblPatID;
    r.LblSex = f.Cmb_sex;
    r.LblAgeN = f.LblAgeN;
    r.LblAgeU = f.Cmb_AgeU;
    r.Chk_pregsmok = f.Chk_pregsmok ? 1 : 0;
    r.Txt_CODE = f.Txt_CODE;
    r.Txt_CRVTESTCODE = f.Txt_CRVTESTCODE;
    r.Txt_REFRANGE = f.Txt_REFRANGE;
    r.Txt_TEST_min = f.Txt_TEST_min;
    r.Txt_TEST_max = f.Txt_TEST_max;
    r.Txt_TEST_minEX = f.Txt_TEST_minEX;
    r.Txt_TEST_maxEX = f.Txt_TEST_maxEX;
    r.Txt_LOWCOMMENT = f.Txt_LOWCOMMENT;
    r.Txt_HIGHCOMMENT = f.Txt_HIGHCOMMENT;
    r.Txt_TEST_F = f.Txt_TEST_F;
    r.txt_comment = f.txt_comment;
    return r;
}

QVariant numberOrNull(const QString& text)
{
    const double n = Numbers::toNumber(text);
    return n == 0.0 ? SqlRun::nullNumber() : ChainValues::number(n);
}

// The Result columns Save writes; an empty field writes a null.
SqlRun::Columns resultColumns(const Fields& f)
{
    const bool named = !f.LblPatName.isEmpty();
    const bool doctor = !f.LblDocName.isEmpty();
    const QTime time = DateFormats::parseTime(f.LblTestTime);
    return {
        {QStringLiteral("SampleID"), textOrNull(f.LblSampID)},
        {QStringLiteral("crvtestid"), numberOrNull(f.Txt_CRVTESTCODE)},
        {QStringLiteral("testsimp"), textOrNull(f.Txt_TEST_C.isEmpty() ? f.Txt_shortAssay : f.Txt_TEST_C)},
        {QStringLiteral("testabrev"), textOrNull(f.Txt_testabrev.isEmpty() ? f.Txt_shortAssay : f.Txt_testabrev)},
        {QStringLiteral("REFRANGE"), ChainValues::numberOf(f.Txt_REFRANGE)},
        {QStringLiteral("subgroupname"), textOrNull(f.Txt_subgroupname)},
        {QStringLiteral("patientid"), textOrNull(f.LblPatID)},
        {QStringLiteral("Patientname"), named ? textOrNull(f.LblPatName) : SqlRun::nullText()},
        {QStringLiteral("patientsefa"), named ? textOrNull(f.Cmb_patientsefa) : SqlRun::nullText()},
        {QStringLiteral("DocName"), doctor ? textOrNull(f.LblDocName) : SqlRun::nullText()},
        {QStringLiteral("Drsefa"), doctor ? textOrNull(f.Cmb_drsefa) : SqlRun::nullText()},
        {QStringLiteral("sex"), textOrNull(f.Cmb_sex)},
        {QStringLiteral("ageN"), numberOrNull(f.LblAgeN)},
        {QStringLiteral("ageU"), textOrNull(f.Cmb_AgeU)},
        {QStringLiteral("Testdate"),
         f.DTPicker_testdate.isValid() ? QVariant(f.DTPicker_testdate) : SqlRun::nullDate()},
        {QStringLiteral("TestTime"),
         time.isValid() ? QVariant(DateFormats::timeAmPm(time)) : textOrNull(f.LblTestTime)},
        {QStringLiteral("testcode"), ChainValues::numberOf(f.Txt_CODE)},
        {QStringLiteral("testunit"), textOrNull(f.Txt_TEST_U)},
        {QStringLiteral("normalrang"), textOrNull(f.Txt_TEST_N)},
        {QStringLiteral("RESULTCASEPRINT"), textOrNull(f.Txt_TEST_F)},
        {QStringLiteral("resultt1"), textOrNull(f.Txt_TEST_R)},
        {QStringLiteral("lowlimit"), ChainValues::number(Numbers::toNumber(f.Txt_TEST_min))},
        {QStringLiteral("highlimit"), ChainValues::number(Numbers::toNumber(f.Txt_TEST_max))},
        {QStringLiteral("nolowexe"), textOrNull(f.Txt_TEST_minEX)},
        {QStringLiteral("nohighexe"), textOrNull(f.Txt_TEST_maxEX)},
        {QStringLiteral("comment"), textOrNull(f.txt_comment)},
        {QStringLiteral("sending"), f.Chk_pregsmok},
    };
}

// What the editor writes into the LIS row: the value as typed is the result (no separate
// reading), the range text and unit as shown; the LIS's resultt1 and resultt2 are left alone.
SqlRun::Columns lisColumns(const Fields& f, const QDateTime& now)
{
    using ChainValues::text;
    return {
        {QStringLiteral("editdate"), LisExport::editDate(now)},
        {QStringLiteral("resultt"), text(f.Txt_TEST_R)},
        {QStringLiteral("RESULTCASEPRINT"), text(f.Txt_TEST_F)},
        {QStringLiteral("lowlimit"), QVariant(Numbers::toNumber(f.Txt_TEST_min))},
        {QStringLiteral("highlimit"), QVariant(Numbers::toNumber(f.Txt_TEST_max))},
        {QStringLiteral("nolowexe"), text(f.Txt_TEST_minEX)},
        {QStringLiteral("nohighexe"), text(f.Txt_TEST_maxEX)},
        {QStringLiteral("normalrang"), text(f.Txt_TEST_N)},
        {QStringLiteral("testunit"), text(f.Txt_TEST_U)},
        {QStringLiteral("commentx"), text(f.txt_comment)},
    };
}

// The test's LIS code from the catalogue, for a result stored before the code went with it: the
// catalogue row of its assay, or of its test name when the assay has several.
QVariant catalogueLisCode(const QSqlDatabase& db, const Fields& f)
{
    const SqlRun::Rows rows = SqlRun::select(
        db, QStringLiteral("SELECT testsimp,crvtestid FROM testtable where shortAssay=? "), {f.Txt_shortAssay});
    QVariant code;
    for (const QSqlRecord& row : rows.records) {
        if (rows.records.size() == 1 || fieldText(row.value(0)) == f.Txt_TEST_C)
            code = row.value(1);
    }
    return Numbers::toNumber(fieldText(code)) == 0.0 ? QVariant() : code;
}

QStringList rangeComments(const QSqlDatabase& db, const QString& testCode)
{
    const SqlRun::Rows rows =
        SqlRun::select(db, QStringLiteral("SELECT lowcomment,highcomment FROM normalrange where testcode=? "),
                       {ChainValues::numberOf(testCode)});
    QStringList comments;
    for (const QSqlRecord& row : rows.records) {
        for (int i = 0; i < 2; ++i) {
            const QString text = fieldText(row.value(i));
            if (!text.isEmpty() && !comments.contains(text))
                comments.append(text);
        }
    }
    return comments;
}

Flagging::Shade reflagValue(Fields& f, bool autoComment)
{
    const QString& t = f.Txt_TEST_R;
    if ((f.Txt_TEST_min.isEmpty() && f.Txt_TEST_max.isEmpty()) || t.isEmpty()) {
        f.Txt_TEST_F.clear();
        return Flagging::Shade::NoResult;
    }
    const QString n = t.startsWith(QLatin1Char('<')) || t.startsWith(QLatin1Char('>')) ? t.mid(1) : t;
    // A text that is no number is flagged; a number written as "0.0" or " 0" is a number.
    bool number = false;
    n.trimmed().toDouble(&number);
    if (!number && Numbers::toNumber(n) == 0.0 && !n.isEmpty() && n != QLatin1String("Positive") &&
        n != QLatin1String("Negative")) {
        f.Txt_TEST_F = QStringLiteral(" *");
        return Flagging::Shade::Flagged;
    }
    // The rest is the receive chain's flag: the typed value is both the reading and the value.
    CurrentResult r = chainRecord(f);
    r.Txt_resultt1 = t;
    r.Txt_resultt2 = n;
    r.Txt_resultt3 = t;
    Flagging::Flag(r, autoComment);
    f.Txt_TEST_F = r.Txt_TEST_F;
    f.txt_comment = r.txt_comment;
    return Flagging::shadeOf(r);
}

} // namespace

LoadOutcome load(AppContext& context, qint64 autoNum, Fields& f)
{
    const QSqlDatabase db = interfaceDb(context);
    if (!db.isOpen())
        return LoadOutcome::Failed;
    QSqlError error;
    const auto found = SqlRun::first(db, QStringLiteral("SELECT * FROM Result where AutoNum=?"), {autoNum}, &error);
    if (!found)
        return error.isValid() ? LoadOutcome::Failed : LoadOutcome::Gone;
    const QSqlRecord& row = *found;
    f.Txt_AUTOID = autoNum;
    take(row, "SampleID", f.LblSampID);
    take(row, "patientid", f.LblPatID);
    take(row, "patientsefa", f.Cmb_patientsefa);
    take(row, "Patientname", f.LblPatName);
    take(row, "Drsefa", f.Cmb_drsefa);
    take(row, "DocName", f.LblDocName);
    if (const QDate date = SqlRun::toDate(row.value(QStringLiteral("Testdate"))); date.isValid())
        f.DTPicker_testdate = date;
    if (!row.value(QStringLiteral("TestTime")).isNull())
        f.LblTestTime = timeText(fieldText(row.value(QStringLiteral("TestTime"))));
    if (!row.value(QStringLiteral("sending")).isNull())
        f.Chk_pregsmok = ChainValues::fieldNumber(row.value(QStringLiteral("sending"))) != 0.0;
    take(row, "crvtestid", f.Txt_CRVTESTCODE);
    take(row, "testcode", f.Txt_CODE);
    take(row, "testsimp", f.Txt_TEST_C);
    take(row, "REFRANGE", f.Txt_REFRANGE);
    take(row, "shortAssay", f.Txt_shortAssay);
    take(row, "testabrev", f.Txt_testabrev);
    take(row, "subgroupname", f.Txt_subgroupname);
    take(row, "testunit", f.Txt_TEST_U);
    take(row, "normalrang", f.Txt_TEST_N);
    take(row, "RESULTCASEPRINT", f.Txt_TEST_F);
    take(row, "lowlimit", f.Txt_TEST_min);
    take(row, "highlimit", f.Txt_TEST_max);
    take(row, "nolowexe", f.Txt_TEST_minEX);
    take(row, "nohighexe", f.Txt_TEST_maxEX);
    take(row, "comment", f.txt_comment);
    take(row, "resultt1", f.Txt_TEST_R);
    take(row, "ageN", f.LblAgeN);
    f.Txt_instrument = ResultStore::instrumentText(fieldText(row.value(QStringLiteral("instrumentid"))),
                                                   fieldText(row.value(QStringLiteral("instrumentsn"))));
    const QString sex = fieldText(row.value(QStringLiteral("sex")));
    if (sex == QLatin1String("Male") || sex == QLatin1String("Female"))
        f.Cmb_sex = sex;
    const QString unit = fieldText(row.value(QStringLiteral("ageU")));
    if (unit == QLatin1String("Years") || unit == QLatin1String("Days") || unit == QLatin1String("Mons."))
        f.Cmb_AgeU = unit;
    // A doctor's title goes with a doctor's name; without one it is the usual title.
    if (f.LblDocName.isEmpty())
        f.Cmb_drsefa = EditorMessages::defaultDoctorTitle;
    f.version = RowVersion::of(row);
    f.autoComments = rangeComments(db, f.Txt_CODE);
    return LoadOutcome::Loaded;
}

bool isAmbiguous(const QString& testName)
{
    return testName.startsWith(QLatin1Char('>'));
}

QStringList assayChoices(AppContext& context, const QString& shortAssay)
{
    const QSqlDatabase db = interfaceDb(context);
    if (!db.isOpen())
        return {};
    const SqlRun::Rows rows = SqlRun::select(
        db, QStringLiteral("SELECT shortAssay,testsimp FROM testtable where shortAssay=? order by testsimp"),
        {shortAssay});
    QStringList names;
    for (const QSqlRecord& row : rows.records)
        names.append(fieldText(row.value(1)));
    return names;
}

bool takeCatalogueTest(AppContext& context, const QString& testName, Fields& f)
{
    return firstCatalogueRow(context, QStringLiteral("testsimp=?"), testName, f);
}

bool takeCatalogueOfLisCode(AppContext& context, Fields& f)
{
    const double code = Numbers::toNumber(f.Txt_CRVTESTCODE);
    if (code == 0.0)
        return false;
    return firstCatalogueRow(context, QStringLiteral("crvtestid=?"), ChainValues::number(code), f);
}

bool lookUpRange(AppContext& context, Fields& f)
{
    for (QString* field : {&f.Txt_TESTUNIT, &f.Txt_LOWCOMMENT, &f.Txt_HIGHCOMMENT, &f.Txt_TESTNOTRMAL, &f.Txt_TEST_min,
                           &f.Txt_TEST_max, &f.Txt_TEST_minEX, &f.Txt_TEST_maxEX})
        field->clear();
    bool ok = true;
    if (!f.Cmb_sex.isEmpty() && Numbers::toNumber(f.LblAgeN) != 0.0 && !f.Cmb_AgeU.isEmpty()) {
        CurrentResult r = chainRecord(f);
        const Evaluation::RangeChoice range = Evaluation::rangeQuery(r);
        if (range.which != Evaluation::RangeCase::None) {
            const QSqlDatabase db = interfaceDb(context);
            QSqlError error;
            const auto row =
                db.isOpen() ? SqlRun::first(db, range.query.sql, range.query.values, &error) : std::nullopt;
            ok = db.isOpen() && !error.isValid();
            if (row) {
                Evaluation::takeRangeRow(*row, r);
                f.Txt_TESTUNIT = r.Txt_TESTUNIT;
                f.Txt_TESTNOTRMAL = r.Txt_TESTNOTRMAL;
                f.Txt_TEST_min = r.Txt_TEST_min;
                f.Txt_TEST_max = r.Txt_TEST_max;
                f.Txt_TEST_minEX = r.Txt_TEST_minEX;
                f.Txt_TEST_maxEX = r.Txt_TEST_maxEX;
                f.Txt_LOWCOMMENT = r.Txt_LOWCOMMENT;
                f.Txt_HIGHCOMMENT = r.Txt_HIGHCOMMENT;
            }
        }
    }
    f.Txt_TEST_N = f.Txt_TESTNOTRMAL;
    f.Txt_TEST_U = f.Txt_TESTUNIT;
    return ok;
}

Flagging::Shade reflag(Fields& f, bool autoComment)
{
    const QString flagBefore = f.Txt_TEST_F;
    const QString commentBefore = f.txt_comment;
    const Flagging::Shade shade = reflagValue(f, autoComment);
    const bool automatic =
        !commentBefore.isEmpty() && (commentBefore == f.Txt_LOWCOMMENT || commentBefore == f.Txt_HIGHCOMMENT ||
                                     f.autoComments.contains(commentBefore));
    // A comment the user wrote is never replaced by a flag's.
    if (!commentBefore.isEmpty() && !automatic)
        f.txt_comment = commentBefore;
    // The comment the old flag had set would now describe a value that is no longer there.
    else if (f.Txt_TEST_F != flagBefore && f.txt_comment == commentBefore && automatic)
        f.txt_comment.clear();
    return shade;
}

bool mayChangeRangeFields(const CurrentUser& user)
{
    return hasGrant(user, Grant::Grant1) && hasGrant(user, Grant::Grant2);
}

bool mayLookUpRangeAgain(const CurrentUser& user)
{
    return hasGrant(user, Grant::Grant2);
}

bool pregnantByLis(const QString& moreinfo)
{
    return PatientMatch::pregnancyState(moreinfo) == 1;
}

bool ageAccepted(const QString& ageText, const QString& unit)
{
    const double age = Numbers::toNumber(ageText);
    if (age == 0.0 && !unit.isEmpty())
        return false;
    if (unit == QLatin1String("Days"))
        return age < 30;
    if (unit == QLatin1String("Mons."))
        return age < 12;
    if (unit == QLatin1String("Years"))
        return age < 121;
    return true;
}

QStringList libraryComments(AppContext& context, const QString& testCode)
{
    const QSqlDatabase db = interfaceDb(context);
    if (!db.isOpen())
        return {};
    const SqlRun::Rows rows = SqlRun::select(
        db, QStringLiteral("SELECT comments FROM comments where testcode=? group by comments order by comments"),
        {ChainValues::numberOf(testCode)});
    QStringList comments;
    for (const QSqlRecord& row : rows.records) {
        if (!row.value(0).isNull())
            comments.append(row.value(0).toString());
    }
    return comments;
}

QStringList nameSuggestions(AppContext& context, const QString& prefix)
{
    return suggestions(context, QStringLiteral("Patientname"), prefix);
}

QStringList doctorSuggestions(AppContext& context, const QString& prefix)
{
    return suggestions(context, QStringLiteral("DocName"), prefix);
}

bool takePastPatient(AppContext& context, const QString& name, Fields& f)
{
    const QSqlDatabase db = interfaceDb(context);
    if (!db.isOpen())
        return false;
    const SqlRun::Rows rows = SqlRun::select(
        db, QStringLiteral("Select * from Result where Patientname = ? order by Testdate, AutoNum"), {name});
    if (rows.isEmpty())
        return false;
    const QSqlRecord& last = rows.records.last();
    f.LblDocName.clear();
    f.Cmb_patientsefa = fieldText(last.value(QStringLiteral("patientsefa")));
    f.LblPatName = fieldText(last.value(QStringLiteral("Patientname")));
    f.LblPatID = fieldText(last.value(QStringLiteral("patientid")));
    f.LblAgeN = fieldText(last.value(QStringLiteral("ageN")));
    f.Cmb_AgeU = fieldText(last.value(QStringLiteral("ageU")));
    f.Cmb_sex = fieldText(last.value(QStringLiteral("sex")));
    return true;
}

bool takePastDoctor(AppContext& context, const QString& name, Fields& f)
{
    const QSqlDatabase db = interfaceDb(context);
    if (!db.isOpen())
        return false;
    const SqlRun::Rows rows =
        SqlRun::select(db, QStringLiteral("Select * from Result where DocName = ? order by AutoNum"), {name});
    if (rows.isEmpty())
        return false;
    const QSqlRecord& last = rows.records.last();
    f.Cmb_drsefa = fieldText(last.value(QStringLiteral("Drsefa")));
    f.LblDocName = fieldText(last.value(QStringLiteral("DocName")));
    return true;
}

int visits(AppContext& context, const QString& name)
{
    if (name.isEmpty())
        return 0;
    const QSqlDatabase db = interfaceDb(context);
    if (!db.isOpen())
        return 0;
    const auto row = SqlRun::first(db, QStringLiteral("SELECT COUNT(*) FROM Result where Patientname= ? "), {name});
    return row ? row->value(0).toInt() : 0;
}

SaveOutcome save(AppContext& context, const Fields& typed, const QDateTime& now)
{
    SaveOutcome out;
    const QSqlDatabase db = interfaceDb(context);
    if (!db.isOpen()) {
        out.error = context.databases().lastError(kSlot);
        return out;
    }
    const SqlEngine engine = context.databases().dialect(kSlot).engine();
    const ShortLockWait shortWait(db, engine, kSaveLockWaitMs);
    QSqlError error;
    if (!SqlTransaction::begin(db, engine, &error)) {
        out.error = error.text();
        return out;
    }
    const auto fail = [&](SaveState state, const QString& why) {
        SqlTransaction::rollback(db, engine);
        out.state = state;
        out.error = why;
        return out;
    };
    const auto stored =
        SqlRun::first(db, QStringLiteral("SELECT * FROM Result where autonum=? "), {typed.Txt_AUTOID}, &error);
    if (!stored)
        return fail(error.isValid() ? SaveState::Failed : SaveState::Gone, error.text());
    out.changes = RowVersion::since(typed.version, *stored);
    if (!out.changes.isEmpty()) {
        RowVersion::attachHistory(db, typed.Txt_AUTOID, out.changes);
        return fail(SaveState::Conflict, {});
    }

    Fields f = typed;
    if (Numbers::toNumber(f.Txt_CRVTESTCODE) == 0.0)
        f.Txt_CRVTESTCODE = fieldText(catalogueLisCode(db, f));
    const QString who = context.currentUser.name;
    SqlRun::Columns columns = resultColumns(f);
    const QList<ResultHistory::Change> changes = ResultHistory::changes(*stored, columns);
    columns.append({QStringLiteral("editedby"), who.isEmpty() ? QStringLiteral("?") : who});
    const SqlRun::Outcome updated =
        SqlRun::update(db, QStringLiteral("Result"), columns, QStringLiteral("AutoNum=?"), {f.Txt_AUTOID});
    if (!updated)
        return fail(SaveState::Failed, updated.errorText());
    if (updated.rowsAffected == 0)
        return fail(SaveState::Gone, {});
    QList<ResultHistory::Change> traced = changes;

    // The write into the LIS is queued with the row, so it is made exactly once even when the LIS
    // is away now; the editor's write is silent when the link is off.
    if (context.settings.lisActive == 1 &&
        LisExport::decide(chainRecord(f), context.settings) == LisExport::Decision::Send) {
        const SqlRun::Outcome queued =
            LisOutbox::queueColumns(db, f.Txt_AUTOID, f.LblPatID, ChainValues::numberOf(f.Txt_CRVTESTCODE),
                                    lisColumns(f, now), LisOutbox::editorOrigin, now);
        if (!queued)
            return fail(SaveState::Failed, queued.errorText());
        out.outboxId = queued.lastInsertId.toLongLong();
        out.lis = LisState::Queued;
        traced.append({ResultHistory::lisColumn, QString(), LisOutbox::queuedHistoryText});
    }
    const SqlRun::Outcome history = ResultHistory::append(db, f.Txt_AUTOID, who, now, traced);
    if (!history)
        return fail(SaveState::Failed, history.errorText());
    if (!SqlTransaction::commit(db, engine, &error))
        return fail(SaveState::Failed, error.text());
    out.state = SaveState::Saved;
    out.changedColumns = static_cast<int>(changes.size());
    return out;
}

} // namespace ResultEdit
