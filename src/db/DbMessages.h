#pragma once

#include <QString>

// The connection failure messages (right to left, error icon). Two-line texts break with a newline.
namespace DbMessages {
inline const QString connectionTitle = QStringLiteral("خطأ فى الاتصال ..");
inline const QString interfaceFailed =
    QStringLiteral("فشل فى عملية الاتصال بالسيرفر\nرجاء التأكد من بيانات سيرفر برنامج الانترفيس المدخلة");
inline const QString lisServerFailed = QStringLiteral(
    "فشل فى عملية الاتصال بسيرفر كورفانا سيستم\nرجاء التأكد من بيانات سيرفر برنامج كورفانا سيستم المدخلة");
inline const QString lisFileFailed =
    QStringLiteral("فشل فى عملية الاتصال بقاعدة بيانات نظام كورفانا سيستم\nرجاء اعد تثبيت نظام كورفانا سيستم");
inline const QString installTitle = QStringLiteral("خطأ فى التثبيت ..");
inline const QString localFailed = QStringLiteral("رجاء اعد تثبيت نظام كورفانا انترفيس");
} // namespace DbMessages
