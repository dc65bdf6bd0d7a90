#pragma once
// When two snippets are the same one: the import, the package apply and the team copy all ask
// this one question, so they never disagree about it.
#include <QString>

namespace importing::core {

// The trimmed title, a line break, then the code with its line ends made "\n" and trimmed. Two
// snippets of one category with equal keys are duplicates. White space of every kind is trimmed
// here, wider than a stored text is: a file's closing line break makes no new snippet.
QString duplicateKey(const QString &title, const QString &code);

} // namespace importing::core
