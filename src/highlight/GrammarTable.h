#pragma once
// The grammars built in, one row each: the language name, the grammar, its highlight query.
#include <span>

struct TSLanguage;

namespace highlight::detail {

struct GrammarRow {
    const char *language;
    const TSLanguage *(*grammar)();
    const char *highlights;
};

std::span<const GrammarRow> grammarRows();

} // namespace highlight::detail
