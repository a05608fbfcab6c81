#include "platform/MessageBoxDialogsUi.h"
#include "platform/Translations.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

// Every message of the program goes through these boxes: each shows exactly the title it is given,
// right to left, and Qt's standard buttons speak Arabic.
class TestMessageBoxes : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(installArabicQtTexts(*qApp)); }

    void buttons_data()
    {
        QTest::addColumn<DialogButtons>("buttons");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("answer"); // the button pressed, by its role in the box
        QTest::addColumn<DialogAnswer>("expected");
        QTest::newRow("OK") << DialogButtons::Ok << 1 << int(QMessageBox::Ok) << DialogAnswer::Ok;
        QTest::newRow("Yes No") << DialogButtons::YesNo << 2 << int(QMessageBox::No) << DialogAnswer::No;
        QTest::newRow("Yes No Cancel") << DialogButtons::YesNoCancel << 3 << int(QMessageBox::Cancel)
                                       << DialogAnswer::Cancel;
        QTest::newRow("OK Cancel") << DialogButtons::OkCancel << 2 << int(QMessageBox::Ok) << DialogAnswer::Ok;
    }

    void buttons()
    {
        QFETCH(DialogButtons, buttons);
        QFETCH(int, count);
        QFETCH(int, answer);
        QFETCH(DialogAnswer, expected);
        const QString title = u"تأكيد العملية .."_s;
        QString seenTitle;
        QStringList texts;
        Qt::LayoutDirection direction = Qt::LeftToRight;
        QTimer::singleShot(0, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            seenTitle = box->windowTitle();
            direction = box->layoutDirection();
            for (QAbstractButton* b : box->buttons())
                texts << b->text().remove(u'&');
            box->button(QMessageBox::StandardButton(answer))->click();
        });
        MessageBoxDialogs dialogs;
        QCOMPARE(dialogs.show({DialogIcon::Question, buttons, title, u"هل انت متأكد"_s}), expected);
        QCOMPARE(seenTitle, title);
        QCOMPARE(direction, Qt::RightToLeft);
        QCOMPARE(texts.size(), count);
        for (const QString& text : std::as_const(texts))
            QVERIFY2(!text.isEmpty() && !text.contains(QRegularExpression(u"[A-Za-z]"_s)), qPrintable(text));
    }
};

QTEST_MAIN(TestMessageBoxes)
#include "gui_MessageBoxes.moc"
