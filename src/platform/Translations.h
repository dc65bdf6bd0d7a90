#pragma once
// Qt's own texts (the platform's message box buttons, file dialog headers and labels) in Arabic,
// as the rest of the interface, whatever the desktop's language.

namespace platform {

// Installs Qt's Arabic catalogue once; false when it is not installed (qt6-translations-l10n).
bool installQtTranslations();

} // namespace platform
