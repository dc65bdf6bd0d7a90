#pragma once
#include <QSqlDatabase>
#include <QString>

namespace store {

// Fills a new, empty library with the starter categories and snippets a newcomer sees.
// Returns an empty string on success, else the Arabic reason.
QString writeStarterLibrary(QSqlDatabase &db);

} // namespace store
