#pragma once
// The fixed captions and messages of the package dialogs.
#include <QString>

namespace exchange::text {

inline const QString PackageFilter = QStringLiteral("ملف تحديث|*.cup");
inline const QString CreatorCaption = QStringLiteral("انشاء ملف تحديث");
inline const QString NameLabel = QStringLiteral("الاسم:");
inline const QString DateLabel = QStringLiteral("التاريخ:");
inline const QString NotesLabel = QStringLiteral("ملاحظات:");
inline const QString UserCodeListLabel = QStringLiteral("قائمة كود المستخدم:");
inline const QString CreateButton = QStringLiteral("إنشاء");
inline const QString CloseButton = QStringLiteral("إغلاق");
inline const QString SearchResult = QStringLiteral("نتيجة البحث:");
inline const QString Items = QStringLiteral("عنصر/عناصر");
inline const QString Created = QStringLiteral("تم إنشاء:");
inline const QString ItemsDone = QStringLiteral("عنصر/عناصر بنجاح");
inline const QString OverwritePrompt = QStringLiteral(
    "هذا الملف موجود بالفعل إذا قررت الاستمرار سيتم استبدالة بالملف الجديد. هل تريد الاستمرار؟");
inline const QString WarningTitle = QStringLiteral("تحذير");
inline const QString MergePrompt = QStringLiteral("تمت عملية إنشاء ملف التحديث بنجاح. هل تريد دمج كود المستخد؟");
inline const QString InquiryTitle = QStringLiteral("استفسار");
inline const QString ReaderCaption = QStringLiteral("تحديث");
inline const QString PackageContentsLabel = QStringLiteral("محتويات ملف التحديث:");
inline const QString AddButton = QStringLiteral("إضافة");
inline const QString Added = QStringLiteral("تم إضافة:");

} // namespace exchange::text
namespace exchange::text {

// "caption", the count with the blank that stands for its sign, then the word: "… 3عنصر/عناصر".
inline QString countLine(const QString &caption, qint64 count, const QString &word)
{
    return caption + (count < 0 ? QString::number(count) : QLatin1Char(' ') + QString::number(count)) + word;
}

} // namespace exchange::text
