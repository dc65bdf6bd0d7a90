#pragma once
// Snippets of another open library as an import: copying between my library and the team's is an
// import whose items are the other library's rows, so it keeps the import's rules (categories by
// name, duplicates by title and code, all or nothing after a backup) and the source is only read.
#include "importing/core/Preview.h"

#include <QList>

namespace importing::core {

// The snippets ids of from, in that order, each under its category's name with its comment, language
// and user flag. An id from no longer holds is skipped with the reason.
Source librarySource(store::Library &from, const QList<qint32> &ids);

// The ids of a category's snippets in from, in table order.
QList<qint32> snippetsOfCategory(store::Library &from, qint32 category);

} // namespace importing::core
