#pragma once
// Language names as Tamrisk stores them, from what another program calls a language or a file's
// extension. Kept behind these two functions so the languages library can take over in one place.
#include <QString>

namespace importing::core {

// "" when the extension says nothing (txt, md, none).
QString languageForExtension(const QString &extension);
// The known name when the source's name is one of its spellings, "" for plain text, otherwise the
// source's own name unchanged.
QString sourceLanguage(const QString &name);

} // namespace importing::core
