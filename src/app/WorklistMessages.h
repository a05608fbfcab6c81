#pragma once

#include <QString>

// The main window's messages, word for word.
namespace WorklistMessages {

inline const QString selectFirstTitle = QStringLiteral("تنبية ..");
inline const QString selectFirst = QStringLiteral("قم بإختيار المريض اولأ");
inline const QString deleteSelectTitle = QStringLiteral("تنبية !!");
inline const QString deleteSelect = QStringLiteral("قم بإختيار المريض أولاً");
inline const QString deleteTitle = QStringLiteral("تأكيد الحذف ..");
inline const QString deleteQuestion = QStringLiteral("هل انت متأكد انك تريد حذف النتيجة المحددة");
// Our own: the row was deleted elsewhere between the click and the Delete.
inline const QString deleteGone = QStringLiteral("لم تعد هذه النتيجة موجودة - ربما حذفت من جهاز آخر");
inline const QString deleteFailed = QStringLiteral("تعذر حذف النتيجة - لم يتغير شيء");
// The main window's count of what waits for the LIS.
inline const QString outboxWaiting = QStringLiteral("بانتظار كورفانا: %1");
inline const QString deleteChanged = QStringLiteral("تغيرت هذه النتيجة منذ عرضها، ولم يُحذف شيء:");
inline const QString deleteChangedAfter =
    QStringLiteral("تُعرض النتيجة الآن كما هي محفوظة. إن أردت حذفها فاضغط Delete مرة أخرى.");

inline const QString blankSampleTitle = QStringLiteral("تأكيد اضافة!");
inline const QString blankSampleQuestion =
    QStringLiteral("هل تريد اضافة مريض جديد للنظام بالفعل") + QLatin1Char('\n') +
    QStringLiteral("خادم نظام كورفانا سيستم غير مفعل يمكنك تفعيلة من نافذة اعدادات ثم اختار اعدادات كورفانا سيستم "
                   "سيرفر");

inline const QString noWorklistRowTitle = QStringLiteral("خطأ..");
inline const QString noWorklistRow = QStringLiteral("قم بإختيار المريض أولاً من قائمة مرضي نظام كورفانا سيستم");
inline const QString alreadyTitle = QStringLiteral("تنبية..");
inline const QString testAlreadyAdded =
    QStringLiteral("تم اضافة هذا التحليل للمريض من قبل فى برنامج كورفانا انترفيس فيداس");
inline const QString patientAlreadyAdded = QStringLiteral("تم اضافة هذا المريض من قبل فى برنامج كورفانا انترفيس");
inline const QString addedTitle = QStringLiteral("تأكيد الاضافة..");
inline const QString testAdded = QStringLiteral("تم اضافة العينة للمريض بنجاح فى برنامج كورفانا انترفيس فيداس");
// Our own: a write that did not go through.
inline const QString addFailedTitle = QStringLiteral("خطأ..");
inline const QString addFailed = QStringLiteral("تعذر حفظ العينة في قاعدة بيانات الانترفيس - لم يضف شيء");

} // namespace WorklistMessages
