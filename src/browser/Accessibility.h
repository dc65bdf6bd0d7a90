#pragma once
// What screen readers see of the main window beyond each widget's own accessible interface:
// the splitter bar as a separator with a value, and no helper controls that never show.

namespace browser {

// Installs the interfaces once for the program; later calls do nothing.
void installAccessibility();

} // namespace browser
