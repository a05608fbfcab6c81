#pragma once

#include <QString>

// The search window's messages, word for word.
namespace SearchMessages {

inline const QString title = QStringLiteral("تنبية ..");
inline const QString datesReversed = QStringLiteral("رجاء التأكد من قيم التواريخ المدخلة");
inline const QString noSampleId = QStringLiteral("رجاء ادخل كود العينة المراد البحث عنها");
inline const QString noPatientId = QStringLiteral("رجاء ادخل كود المريض المراد البحث عنه");
inline const QString noTest = QStringLiteral("رجاء ادخل اسم التحليل المراد البحث عنه");
inline const QString noValue = QStringLiteral("رجاء ادخل النتيجة المراد البحث عنه");
inline const QString noHitSelected = QStringLiteral("رجاء قم بتحديد التحليل أولاً");
inline const QString noHits = QStringLiteral("رجاء قم بتحديد المريض أولاً");

} // namespace SearchMessages
