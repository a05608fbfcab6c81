#pragma once

#include <QString>

// The settings window's messages (right to left, through the dialogs layer).
namespace SettingsMessages {
inline const QString warningTitle = QStringLiteral("تنبية ..");
inline const QString filesMissing = QStringLiteral("ملفات مفقودة - رجاء اعادة تثبيت النظام مرة اخري");
// Added: a settings file that is there but cannot be written is not a broken install; the path follows.
inline const QString fileReadOnly =
    QStringLiteral("لم يتم الحفظ: ملف الاعدادات للقراءة فقط - رجاء السماح بالكتابة فيه ثم الحفظ مرة اخري\n");
inline const QString fileNotWritten = QStringLiteral("لم يتم الحفظ: تعذرت الكتابة فى ملف الاعدادات\n");

inline const QString interfaceServerEmpty = QStringLiteral("رجاء قم بإدخال اسم السيرفر الخاص ببرنامج كورفانا انترفيس");
inline const QString interfaceLoginEmpty =
    QStringLiteral("رجاء قم بإدخال اسم الدخول للسيرفر الخاص ببرنامج كورفانا انترفيس");
inline const QString lisServerEmpty = QStringLiteral("رجاء قم بإدخال اسم السيرفر الخاص ببرنامج كورفانا سيستم");
inline const QString lisLoginEmpty = QStringLiteral("رجاء قم بإدخال اسم الدخول للسيرفر الخاص ببرنامج كورفانا سيستم");

inline const QString resultTitle = QStringLiteral("نتيجة الاتصال ..");
inline const QString serverConnected = QStringLiteral("تم الاتصال بالسيرفر بنجاح - رجاء حفظ البيانات");
inline const QString databaseConnected = QStringLiteral("تم الاتصال بقاعدة البيانات بنجاح - رجاء حفظ البيانات");
inline const QString databaseNotFound =
    QStringLiteral("لم يتم العثور على قاعدة البيانات - رجاء اعد تثبيت نظام كورفانا سيستم");

inline const QString leftMarginTooLarge = QStringLiteral("الهامش الايسر للتقرير يجب ان لا يزيد عن 8 سم");
inline const QString topMarginTooLarge = QStringLiteral("الهامش العلوي للتقرير يجب ان لا يزيد عن 8 سم");
inline const QString spacingTooLarge = QStringLiteral("المسافة الرأسية بين التحاليل (الاسطر) يجب ان لا تزيد عن 2 سم");

inline const QString soundSwitchedOff =
    QStringLiteral("قم بتفعيل خاصية تشغيل الصوت بعد الانتهاء من استلام النتيجة أولا");
inline const QString noSoundChosen = QStringLiteral("قم بختيار اسم ملف الصوت المطلوب تشغيله أولا");
inline const QString soundFileMissing = QStringLiteral("خطأ لم يتم العثور على الملف المطلوب تشغيلة");

inline const QString noPrinter = QStringLiteral("Can't find any printer.");
} // namespace SettingsMessages
