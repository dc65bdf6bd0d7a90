#pragma once
// The one text normalisation of the search, used alike by the index in the library file and
// by the test that decides whether a snippet matches. Changing it changes what the stored
// index means: bump kSearchFoldVersion so libraries rebuild their index.
//
// Folding works character by character (by code point), so a text that contains a word also
// contains the word's folding, and the folding of a text can be mapped back onto the text:
//   - Unicode simple case folding, the comparison Qt's case-insensitive search makes
//     ("DIM" and "dim", "É" and "é");
//   - tatweel U+0640 and the harakat U+064B..U+065F and U+0670 are dropped;
//   - the alef forms أ إ آ ٱ (U+0623, U+0625, U+0622, U+0671) become ا (U+0627),
//     ى (U+0649) becomes ي (U+064A) and ة (U+0629) becomes ه (U+0647).
#include <QList>
#include <QString>
#include <QStringView>

namespace store {

inline constexpr int kSearchFoldVersion = 1;

QString foldForSearch(QStringView text);
// The same into a buffer the caller reuses, so folding many texts allocates once.
void foldForSearch(QStringView text, QString &into);

// The folding with, for each of its UTF-16 units, the index in text of the unit it came from.
struct FoldedText {
    QString text;
    QList<qsizetype> origin;
};
FoldedText foldForSearchMapped(QStringView text);

// The folding of one code point, or 0 when it is dropped.
char32_t foldCharForSearch(char32_t c);

// Whether the character is dropped by the folding (tatweel and harakat).
bool isSearchIgnorable(char32_t c);

} // namespace store
