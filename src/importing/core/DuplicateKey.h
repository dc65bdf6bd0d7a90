#pragma once
// When two snippets are the same one: the import, the package apply and the team copy all ask
// this one question, so they never disagree about it.
#include <QHashFunctions>
#include <QString>

namespace importing::core {

// The trimmed title, a line break, then the code with its line ends made "\n" and trimmed. Two
// snippets of one category with equal keys are duplicates. White space of every kind is trimmed
// here, wider than a stored text is: a file's closing line break makes no new snippet.
QString duplicateKey(const QString &title, const QString &code);

// 128 bits of a duplicate key: what is kept of a snippet instead of its texts, so that finding the
// duplicates of a large import holds no texts. Equal within one run of the program only.
struct DuplicateDigest {
    quint64 a = 0, b = 0;
    bool operator==(const DuplicateDigest &) const = default;
};
inline size_t qHash(const DuplicateDigest &d, size_t seed = 0) noexcept { return ::qHash(d.a ^ (d.b << 1), seed); }
DuplicateDigest duplicateDigest(const QString &title, const QString &code);

} // namespace importing::core
