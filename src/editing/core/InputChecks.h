#pragma once
// What a snippet's input must have, wherever it is typed: the add dialog and the command line's
// add refuse the same input with the same messages.
#include <QString>

namespace editing {

// The title box takes at most this many characters.
constexpr int MaxTitleLength = 100;
// A category name, as long as an update package's category field holds, so that every snippet
// added can also be sent in a package.
constexpr int MaxCategoryLength = 50;

namespace text {

inline const QString NoTitleToAdd = QStringLiteral(
    "لم يتم إدخال كود جديد! يجب عليك إدخال كود قبل إضافته لقاعدة البيانات");
inline const QString NoCategoryName = QStringLiteral("يجب عليك إدخال اسم الفئة أولاً!");

} // namespace text

} // namespace editing
