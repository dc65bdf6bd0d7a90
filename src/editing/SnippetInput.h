#pragma once
// What the snippet dialogs compute without a window: the category list's entries and the
// category at an entry's position, and the row written from the boxes' texts.
#include "store/Library.h"

#include <QStringList>
#include <optional>

namespace editing {

// One entry per category row, in table order: entry p stands for row p, so the list is never
// sorted or filtered. A category without a name shows an empty entry.
QStringList categoryEntries(const QList<store::Category> &categories);
// The category that entry `position` stands for (a negative position means the first row);
// empty when the list has no such entry.
std::optional<store::Category> categoryAt(const QList<store::Category> &categories, int position);
// The entry of the category whose id, as text, is categoryId; -1 when none.
int entryOfCategory(const QList<store::Category> &categories, const QString &categoryId);

// The row the dialogs write: every text trimmed of leading and trailing spaces only.
store::Snippet snippetFromInput(const QString &head, qint32 category, const QString &code, const QString &learn);

} // namespace editing
