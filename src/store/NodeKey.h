#pragma once
// Tree node keys are the only link between the tree and the library:
// root "M1", category "K" + Groub id, snippet "T" + id.
#include <QString>
#include <QtGlobal>

namespace store {

enum class NodeKind { Root, Category, Snippet };

inline const QString RootKey = QStringLiteral("M1");
// The node that gathers the snippets whose category is missing or Null. It has no row of its own,
// and by its first character it is neither a category nor a snippet, so no command writes through it.
inline const QString UncategorisedKey = QStringLiteral("N0");

NodeKind nodeKind(const QString &key);
// Decimal value of the key without its first character, rounded to 32 bits (0 when not a number).
qint32 nodeId(const QString &key);
QString categoryKey(qint64 id);
QString snippetKey(qint64 id);

} // namespace store
