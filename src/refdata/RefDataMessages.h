#pragma once

#include <QString>

// The texts of the catalogue, reference-range and comment windows, exactly as the users know them,
// and the few this program adds where a wrong entry would otherwise be saved.
namespace RefDataMessages {
inline const QString title = QStringLiteral("تنبية");
inline const QString deleteTitle = QStringLiteral(" تأكيد الحذف ...!  ");

// Test catalogue.
inline const QString chooseTestFirst = QStringLiteral("قم بختيار التحليل أولاً");
inline const QString testNameEmpty = QStringLiteral("ادخل اسم التحليل أولا");
inline const QString deleteTestQuestion = QStringLiteral("هل انت موافق على حذف هذا التحليل من النظام");
inline const QString countTestsPrefix = QStringLiteral("Number  Of  Tests   =   ");
inline const QString countTestsSuffix = QStringLiteral("  Tests");
// Added: two catalogue rows with one assay code make every result of that assay unevaluated.
inline const QString duplicateAssay = QStringLiteral("رمز التحليل على الجهاز مستخدم من قبل لتحليل آخر: ");

// Reference ranges.
inline const QString chooseRangeFirst = QStringLiteral("قم بختيار المدى أولاً");
inline const QString ageWrong = QStringLiteral("يوجد خطأ فى السن المدخل");
inline const QString ageUnitMissing = QStringLiteral("قم بإدخال وحدة العمر أولاً");
inline const QString deleteRangeQuestion = QStringLiteral("هل انت موافق على حذف هذا المدى من النظام");
inline const QString countRangesPrefix = QStringLiteral("Number  Of  References   =   ");
inline const QString countRangesSuffix = QStringLiteral("  Reference");
// Added: a range whose low limit lies above its high limit flags every value.
inline const QString limitsWrong = QStringLiteral("يوجد خطأ فى الحدود المدخلة: الحد الأدنى أكبر من الحد الأعلى");
// Added: the range kind and the sex come from their lists only (files brought in by import).
inline const QString rangeKindNotListed = QStringLiteral("اختر نوع المدى من القائمة");
inline const QString sexNotListed = QStringLiteral("اختر الجنس من القائمة");
// Added: the age unit comes from its list only.
inline const QString ageUnitNotListed = QStringLiteral("اختر وحدة العمر من القائمة");

// Comment library.
inline const QString chooseCommentToEdit = QStringLiteral("اختر التعليق المراد تعديله أولاً");
inline const QString chooseCommentToDelete = QStringLiteral("اختر التعليق المراد حذفه أولاً");
inline const QString commentTestEmpty = QStringLiteral("اختر اسم التحليل اولاً");
inline const QString commentEmpty = QStringLiteral("خطأ ... لم تقم بإدخال تعليق");
inline const QString commentTestUnknown = QStringLiteral("رجاء أعد اختيار التحليل");
inline const QString deleteCommentQuestion = QStringLiteral("هل تريد حذف هذا التعليق");

// Added, for every window: a number field holding something else (pasted text), and a statement
// the database refused after it was opened.
inline const QString notANumber = QStringLiteral("رجاء ادخل رقماً صحيحاً فى هذا الحقل");
inline const QString saveFailedTitle = QStringLiteral("خطأ ..");
inline const QString saveFailed = QStringLiteral("لم يتم الحفظ، ولم يتغير شيء فى قاعدة البيانات:\n");
inline const QString deleteFailed = QStringLiteral("لم يتم الحذف، ولم يتغير شيء فى قاعدة البيانات:\n");
} // namespace RefDataMessages
