#pragma once

#include <QString>

// The texts of the start-up checks, the login and the exit question, exactly as the users know them.
namespace StartupMessages {
inline const QString folderTitle = QStringLiteral("Error");
inline const QString folderText = QStringLiteral("لا يمكن تشغيل هذا الملف بمفرده قم بنقله فى المسار التالي");
inline const QString folderPath = QStringLiteral("D:\\Corvana Interface\\");
inline const QString memoryTitle = QStringLiteral("تنبية");
inline const QString memoryText = QStringLiteral("خطأ ... رجاء اعد تثبيت النظام");
inline const QString singleCopyTitle = QStringLiteral("تنبية !!");
inline const QString singleCopyText = QStringLiteral("البرنامج يعمل بفعل - لا يمكنك تشغيل اكثر من نسخة من النظام");
inline const QString dateTitle = QStringLiteral("تنبية !");
inline const QString dateText = QStringLiteral("رجاء تحويل التاريخ الى اللغة الانجليزية ويفضل English (Canada) o");
inline const QString loginTitle = QStringLiteral("خطأ ..");
inline const QString passwordEmpty = QStringLiteral("ادخل كلمة المرور أولاً");
inline const QString userNameEmpty = QStringLiteral("ادخل اسم المستخدم أولاَ");
inline const QString wrongLogin = QStringLiteral("رجاء ادخل اسم المستخدم الصحيح وكلمة المرور الصحيحة");
// A new install's first start: %1 is the full path of the configured interface database file.
inline const QString noDatabaseTitle = QStringLiteral("قاعدة البيانات غير موجودة");
inline const QString noDatabaseText =
    QStringLiteral("ملف قاعدة بيانات الانترفيس غير موجود:\n%1\nهل تريد إنشاء قاعدة بيانات جديدة فارغة؟");
inline const QString exitTitle = QStringLiteral("تأكيد خروج !");
inline const QString exitQuestion = QStringLiteral("هل انت متأكد انك تريد الخروج من نظام كورفانا انترفيس");
} // namespace StartupMessages
