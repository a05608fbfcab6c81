#pragma once

#include "db/SqlRun.h"
#include "refdata/RefDataDb.h"

#include <QString>
#include <QStringList>
#include <optional>

class AppContext;

// The fields of the comment window.
struct CommentFields
{
    qint64 commentid = 0; // the chosen comment; 0 for none
    QString Text1;        // testcode
    QString Combo2;       // testsimp
    QString Text3;        // Comments
};

// The rules of the comment window (Frm_comments) over `comments`: ready-made comment texts, each
// for one test of the catalogue.
class CommentLibrary
{
public:
    enum class Field
    {
        None,
        Combo2,
        Text3
    };

    struct Outcome
    {
        bool done = false;
        Field focus = Field::None;
        qint64 commentid = 0; // the comment saved
    };

    explicit CommentLibrary(AppContext& context) : m_db(context, 3) {}

    // Every comment by test name, or those whose test name starts with `search`.
    SqlRun::Rows list(const QString& search = {});
    // Every catalogue test name, for the test box's list.
    QStringList testNames();
    // The catalogue code of a test name, as text; empty when no test has that name.
    QString codeFor(const QString& testName);
    // A comment chosen in the list.
    std::optional<CommentFields> load(qint64 commentid);

    bool mayEdit(const CommentFields& fields);
    // Adds (`adding`) or changes the comment `fields.commentid`. The test code is looked up again
    // from the name at the moment of saving, so a comment can never be tied to another test than
    // the one it names.
    Outcome save(const CommentFields& fields, bool adding);
    // Asks first; true when the comment was deleted.
    bool remove(const CommentFields& fields);

private:
    Outcome refuse(const QString& text, Field focus);

    RefDataDb m_db;
};
