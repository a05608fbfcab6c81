#pragma once

#include <QString>

// The texts of the users window and the password window, exactly as the users know them.
namespace UserMessages {
inline const QString errorTitle = QStringLiteral("خطأ ..");
inline const QString addNameEmpty = QStringLiteral("خطأ - قم بإدخال اسم المستخدم أولا");
inline const QString addPasswordEmpty = QStringLiteral("خطأ - قم بإدخال كلمة المرور الخاصة بالمستخدم اولاً");
inline const QString kindMissing = QStringLiteral("رجاء تحديد نوع صلاحة المستخدم");
inline const QString addDuplicate = QStringLiteral("خطأ - تم ادخال هذا المستخدم من قبل");
inline const QString selectUserFirst = QStringLiteral("رجاء قم باختيار المستخدم أولاً");
inline const QString editNameEmpty = QStringLiteral("رجاء ادخل اسم المستخدم اولاً");
inline const QString editPasswordEmpty = QStringLiteral("رجاء ادخل كلمة مرور المستخدم");
inline const QString editDuplicate = QStringLiteral("اسم هذا المستخدم موجود بالفعل");
inline const QString deleteTitle = QStringLiteral("تأكيد حذف ..");
inline const QString deleteQuestion = QStringLiteral("هل انت متأكد انك تريد حذف هذا المستخدم");
inline const QString passwordTitle = QStringLiteral("تنبية ..");
inline const QString oldPasswordEmpty = QStringLiteral("رجاء ادخل كلمة المرور القديمة أولا");
inline const QString newPasswordEmpty = QStringLiteral("رجاء قم بإدخال كلة المرور الجديدة");
inline const QString repeatEmpty = QStringLiteral("رجاء اعد كتابة كلمة المرور الجديدة");
inline const QString repeatDiffers = QStringLiteral("رجاء التأكد من تظابق كلمة المرور الجديدة المدخلة");
inline const QString passwordSaved = QStringLiteral("تم حفظ كلمة المرور الجديدة بنجاح");
inline const QString passwordSavedTitle = QStringLiteral("تأكيد العملية ..");
inline const QString oldPasswordWrong = QStringLiteral("كلمة المرور القديمة غير صحيحة - رجاء قم بإعادة ادخالها");
} // namespace UserMessages
