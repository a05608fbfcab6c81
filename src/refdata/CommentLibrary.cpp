#include "refdata/CommentLibrary.h"

#include "refdata/RefDataMessages.h"
#include "refdata/RefDataRules.h"
#include "refdata/RefDataValues.h"

CommentLibrary::Outcome CommentLibrary::refuse(const QString& text, Field focus)
{
    m_db.dialogs().information(RefDataMessages::title, text);
    return {false, focus, 0};
}

SqlRun::Rows CommentLibrary::list(const QString& search)
{
    const QSqlDatabase db = m_db.open();
    if (!db.isOpen())
        return {};
    if (search.isEmpty())
        return SqlRun::select(db, QStringLiteral("Select * from comments order By testsimp, commentid "));
    return SqlRun::select(db,
                          QStringLiteral("Select * from comments where testsimp like ?") + RefDataValues::likeEscape +
                              QStringLiteral(" order By testsimp, commentid "),
                          {RefDataValues::likePrefix(search)});
}

QStringList CommentLibrary::testNames()
{
    const QSqlDatabase db = m_db.open();
    if (!db.isOpen())
        return {};
    QStringList names;
    const SqlRun::Rows rows =
        SqlRun::select(db, QStringLiteral("SELECT testsimp FROM testtable where testsimp <> '' order by testsimp "));
    for (const QSqlRecord& r : rows.records)
        names << r.value(0).toString();
    return names;
}

QString CommentLibrary::codeFor(const QString& testName)
{
    if (testName.isEmpty())
        return {};
    const QSqlDatabase db = m_db.open();
    if (!db.isOpen())
        return {};
    const auto row = SqlRun::first(db, QStringLiteral("SELECT testcode FROM testtable where testsimp =?"), {testName});
    return row ? RefDataValues::text(row->value(0)) : QString();
}

std::optional<CommentFields> CommentLibrary::load(qint64 commentid)
{
    const QSqlDatabase db = m_db.open();
    if (!db.isOpen())
        return std::nullopt;
    const auto row = SqlRun::first(db, QStringLiteral("SELECT * FROM comments WHERE commentid=?"), {commentid});
    if (!row)
        return std::nullopt;
    return CommentFields{commentid, RefDataValues::text(row->value(QStringLiteral("testcode"))),
                         RefDataValues::text(row->value(QStringLiteral("testsimp"))),
                         RefDataValues::text(row->value(QStringLiteral("Comments")))};
}

bool CommentLibrary::mayEdit(const CommentFields& fields)
{
    if (!fields.Combo2.isEmpty() && fields.commentid != 0)
        return true;
    m_db.dialogs().warning(RefDataMessages::title, RefDataMessages::chooseCommentToEdit);
    return false;
}

CommentLibrary::Outcome CommentLibrary::save(const CommentFields& f, bool adding)
{
    const auto refused = [this](const RefDataRules::Refusal& r) {
        return refuse(r.message, r.column == u"Comments" ? Field::Text3 : Field::Combo2);
    };
    // The texts first, before the catalogue is asked for the test's code.
    if (const auto r = RefDataRules::checkComment({{QStringLiteral("testsimp"), f.Combo2},
                                                   {QStringLiteral("Comments"), f.Text3},
                                                   {QStringLiteral("testcode"), 1}},
                                                  nullptr))
        return refused(*r);
    const QSqlDatabase db = m_db.open();
    if (!db.isOpen())
        return {};
    QSqlError error;
    const auto test = SqlRun::first(db, QStringLiteral("SELECT testcode, testsimp FROM testtable where testsimp =?"),
                                    {f.Combo2}, &error);
    if (error.isValid())
        return m_db.saveFailed(error), Outcome{};
    // The catalogue's spelling of the name, whatever letter case was typed.
    const SqlRun::Columns columns{{QStringLiteral("testcode"), test ? test->value(0).toLongLong() : 0},
                                  {QStringLiteral("testsimp"), test ? test->value(1).toString() : f.Combo2},
                                  {QStringLiteral("Comments"), f.Text3}};
    if (const auto r = RefDataRules::checkComment(columns, nullptr))
        return refused(*r);
    if (!adding && f.commentid != 0) {
        const SqlRun::Outcome done =
            SqlRun::update(db, QStringLiteral("comments"), columns, QStringLiteral("commentid= ?"), {f.commentid});
        if (!done)
            return m_db.saveFailed(done.error), Outcome{};
        if (done.rowsAffected != 0)
            return {true, Field::None, f.commentid};
        // Deleted meanwhile at another station: added again below, so the text is not lost.
    }
    const SqlRun::Outcome added = SqlRun::insert(db, QStringLiteral("comments"), columns);
    if (!added)
        return m_db.saveFailed(added.error), Outcome{};
    return {true, Field::None, added.lastInsertId.toLongLong()};
}

bool CommentLibrary::remove(const CommentFields& fields)
{
    if (fields.Combo2.isEmpty() || fields.commentid == 0) {
        m_db.dialogs().warning(RefDataMessages::title, RefDataMessages::chooseCommentToDelete);
        return false;
    }
    const DialogAnswer answer = m_db.dialogs().show(
        {DialogIcon::Warning, DialogButtons::OkCancel, RefDataMessages::title, RefDataMessages::deleteCommentQuestion});
    if (answer != DialogAnswer::Ok)
        return false;
    const QSqlDatabase db = m_db.open();
    if (!db.isOpen())
        return false;
    const SqlRun::Outcome done =
        SqlRun::exec(db, QStringLiteral("DELETE FROM comments where commentid= ?"), {fields.commentid});
    if (!done)
        return m_db.deleteFailed(done.error);
    return true;
}
