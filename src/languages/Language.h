#pragma once
// The language of a snippet is kept as a name. These are the names the program knows, in the
// order the language box offers them; any other name (from a package, an import or another
// program) is kept exactly as it came and shown uncoloured.
#include <QString>
#include <QStringList>

namespace languages {

// The name every snippet without a language of its own has.
inline const QString VisualBasic = QStringLiteral("Visual Basic");

// Visual Basic first, then the others.
QStringList knownNames();

// The language of a file extension (without the dot, any case); "" when unknown.
QString fromExtension(const QString &extension);

// The extension a file of that language gets (without the dot): "vb" for Visual Basic, "txt"
// for a name the program does not know.
QString extensionOf(const QString &name);

// A suggestion from the code itself (a shebang, a few telling words); "" when unsure.
QString guess(const QString &code);

// The known name that name means (any case, common aliases such as "cs", "js", "py", "sh");
// name unchanged when it means none.
QString canonical(const QString &name);

} // namespace languages
