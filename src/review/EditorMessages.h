#pragma once

#include <QString>

// The result editor's messages.
namespace EditorMessages {

inline const QString ageTitle = QStringLiteral("خطأ ..");
inline const QString ageText = QStringLiteral("رجاء التأكد من سن المريض المدخل يجب ان يكون كالتالي") +
                               QStringLiteral("\nDays: less than or equal 29 Days") +
                               QStringLiteral("\nMons.: less than or equal 11 Months") +
                               QStringLiteral("\nYears: less than or equal 120 Years");

inline const QString historyTitle = QStringLiteral("تنبية ..");
inline const QString historyText = QStringLiteral("تنبية - هذا المريض ليس له تاريخ مرضي فى معملنا");

inline const QString lisOffTitle = QStringLiteral("تنبية ..");
inline const QString lisOffText = QStringLiteral("خادم قواعد بيانات نظام كورفانا سيستم غير مفعل يمكنك تفعيلة من نافذة "
                                                 "اعدادات ثم اختار اعدادات كورفانا سيستم سيرفر");

// The doctor's title when no doctor is named.
inline const QString defaultDoctorTitle = QStringLiteral("أ.د/ ");

inline const QString goneTitle = QStringLiteral("تنبية ..");
inline const QString goneText =
    QStringLiteral("هذه النتيجة حُذفت من محطة أخرى بعد فتحها في المحرر، ولم يُحفظ شيء. أغلق المحرر وابحث عنها من جديد.");
inline const QString saveFailedTitle = QStringLiteral("خطأ ..");
inline const QString saveFailedText = QStringLiteral(
    "تعذر حفظ النتيجة في قاعدة بيانات الواجهة، ولم يُكتب شيء. التعديلات باقية في المحرر، حاول الحفظ مرة أخرى.");
inline const QString conflictTitle = QStringLiteral("تنبية ..");
inline const QString conflictText = QStringLiteral("تغيرت هذه النتيجة منذ فتحها في المحرر، ولم يُحفظ شيء:");
inline const QString conflictAfter =
    QStringLiteral("تُعرض النتيجة الآن كما هي محفوظة، ومعها ما كتبته أنت. راجعها ثم اضغط Save مرة أخرى لحفظها.");
inline const QString noChangesTitle = QStringLiteral("سجل التعديلات");
inline const QString noChangesText = QStringLiteral("لا توجد تعديلات مسجلة لهذه النتيجة.");

} // namespace EditorMessages
