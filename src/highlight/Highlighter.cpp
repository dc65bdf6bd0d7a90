#include "highlight/Highlighter.h"

#include "highlight/GrammarTable.h"

#include <QHash>
#include <QMutex>
#include <QRegularExpression>

#include <tree_sitter/api.h>

#include <algorithm>
#include <vector>

namespace highlight {

namespace {

// The predicates the runtime leaves to its caller, for one pattern of the query.
struct Predicate {
    enum Kind { Eq, Match, AnyOf } kind = Eq;
    bool negated = false;
    uint32_t capture = 0;
    int otherCapture = -1; // #eq? @a @b
    QString text;
    QRegularExpression regex;
    QStringList values;
};

struct Grammar {
    const TSLanguage *language = nullptr;
    TSQuery *query = nullptr;
    QString error;
    std::vector<Style> captureStyles;
    std::vector<std::vector<Predicate>> predicates; // by pattern
};

QString queryErrorText(TSQueryError type, uint32_t offset, const char *source)
{
    static const char *const names[] = {"none", "syntax", "node type", "field", "capture", "structure", "language"};
    const QByteArray src(source);
    const int line = src.left(offset).count('\n') + 1;
    return QStringLiteral("query error (%1) at line %2: %3")
        .arg(QLatin1String(names[std::min<int>(type, 6)]))
        .arg(line)
        .arg(QString::fromUtf8(src.mid(offset, 60)).section(u'\n', 0, 0));
}

void readPredicates(Grammar &g)
{
    const uint32_t patterns = ts_query_pattern_count(g.query);
    g.predicates.resize(patterns);
    for (uint32_t p = 0; p < patterns; ++p) {
        uint32_t count = 0;
        const TSQueryPredicateStep *steps = ts_query_predicates_for_pattern(g.query, p, &count);
        uint32_t i = 0;
        while (i < count) {
            uint32_t end = i;
            while (end < count && steps[end].type != TSQueryPredicateStepTypeDone)
                ++end;
            // steps[i] names the predicate; its arguments follow up to the Done step.
            if (end > i && steps[i].type == TSQueryPredicateStepTypeString) {
                uint32_t length = 0;
                const QString name = QString::fromUtf8(
                    ts_query_string_value_for_id(g.query, steps[i].value_id, &length), length);
                const bool negated = name.startsWith(QLatin1String("not-"));
                const QString base = negated ? name.mid(4) : name;
                auto stringAt = [&](uint32_t k) {
                    uint32_t n = 0;
                    const char *s = ts_query_string_value_for_id(g.query, steps[k].value_id, &n);
                    return QString::fromUtf8(s, n);
                };
                if (end - i >= 3 && steps[i + 1].type == TSQueryPredicateStepTypeCapture) {
                    Predicate pred;
                    pred.kind = Predicate::Eq;
                    pred.negated = negated;
                    pred.capture = steps[i + 1].value_id;
                    bool known = true;
                    if (base == QLatin1String("eq?")) {
                        if (steps[i + 2].type == TSQueryPredicateStepTypeCapture)
                            pred.otherCapture = int(steps[i + 2].value_id);
                        else
                            pred.text = stringAt(i + 2);
                    } else if (base == QLatin1String("match?")) {
                        pred.kind = Predicate::Match;
                        pred.regex = QRegularExpression(stringAt(i + 2));
                        pred.regex.optimize();
                    } else if (base == QLatin1String("any-of?")) {
                        pred.kind = Predicate::AnyOf;
                        for (uint32_t k = i + 2; k < end; ++k)
                            pred.values.append(stringAt(k));
                    } else {
                        known = false; // #set!, #is?, #lua-match? and the like: not ours to judge
                    }
                    if (known)
                        g.predicates[p].push_back(std::move(pred));
                }
            }
            i = end + 1;
        }
    }
}

Grammar *loadGrammar(const detail::GrammarRow &row)
{
    auto *g = new Grammar;
    g->language = row.grammar();
    const uint32_t version = ts_language_version(g->language);
    if (version < TREE_SITTER_MIN_COMPATIBLE_LANGUAGE_VERSION || version > TREE_SITTER_LANGUAGE_VERSION) {
        g->error = QStringLiteral("grammar ABI %1 outside the runtime's %2..%3")
                       .arg(version)
                       .arg(TREE_SITTER_MIN_COMPATIBLE_LANGUAGE_VERSION)
                       .arg(TREE_SITTER_LANGUAGE_VERSION);
        return g;
    }
    uint32_t offset = 0;
    TSQueryError error = TSQueryErrorNone;
    g->query = ts_query_new(g->language, row.highlights, uint32_t(strlen(row.highlights)), &offset, &error);
    if (!g->query) {
        g->error = queryErrorText(error, offset, row.highlights);
        return g;
    }
    const uint32_t captures = ts_query_capture_count(g->query);
    g->captureStyles.resize(captures);
    for (uint32_t c = 0; c < captures; ++c) {
        uint32_t length = 0;
        const char *name = ts_query_capture_name_for_id(g->query, c, &length);
        g->captureStyles[c] = styleOfCapture(QString::fromUtf8(name, length));
    }
    readPredicates(*g);
    return g;
}

// Grammars are loaded once and kept for the program's life; a loaded one is only read, from
// any thread.
const Grammar *grammarFor(const QString &language)
{
    static QMutex mutex;
    static QHash<QString, Grammar *> loaded;
    QMutexLocker lock(&mutex);
    if (Grammar *g = loaded.value(language))
        return g;
    for (const detail::GrammarRow &row : detail::grammarRows()) {
        if (language == QLatin1String(row.language)) {
            Grammar *g = loadGrammar(row);
            loaded.insert(language, g);
            return g;
        }
    }
    return nullptr;
}

struct Capture {
    uint32_t start;
    uint32_t end;
    uint32_t pattern;
    Style style;
};

} // namespace

QStringList grammarLanguages()
{
    QStringList names;
    for (const detail::GrammarRow &row : detail::grammarRows())
        names.append(QString::fromLatin1(row.language));
    return names;
}

bool hasGrammar(const QString &language)
{
    for (const detail::GrammarRow &row : detail::grammarRows())
        if (language == QLatin1String(row.language))
            return true;
    return false;
}

QString checkGrammar(const QString &language)
{
    const Grammar *g = grammarFor(language);
    if (!g)
        return QStringLiteral("no grammar for ") + language;
    return g->error;
}

struct Highlighter::Private {
    const Grammar *grammar = nullptr;
    TSParser *parser = nullptr;
    TSTree *tree = nullptr;
    QStringView text;

    ~Private()
    {
        if (tree)
            ts_tree_delete(tree);
        if (parser)
            ts_parser_delete(parser);
    }

    QStringView nodeText(const TSNode &node) const
    {
        const uint32_t a = ts_node_start_byte(node) / 2, b = ts_node_end_byte(node) / 2;
        return text.sliced(std::min<qsizetype>(a, text.size()),
                           std::min<qsizetype>(b, text.size()) - std::min<qsizetype>(a, text.size()));
    }

    const TSNode *captured(const TSQueryMatch &m, uint32_t capture) const
    {
        for (uint16_t i = 0; i < m.capture_count; ++i)
            if (m.captures[i].index == capture)
                return &m.captures[i].node;
        return nullptr;
    }

    bool holds(const TSQueryMatch &m) const
    {
        for (const Predicate &p : grammar->predicates[m.pattern_index]) {
            const TSNode *node = captured(m, p.capture);
            if (!node)
                continue;
            const QStringView t = nodeText(*node);
            bool result = true;
            switch (p.kind) {
            case Predicate::Eq:
                if (p.otherCapture >= 0) {
                    const TSNode *other = captured(m, uint32_t(p.otherCapture));
                    result = other && t == nodeText(*other);
                } else {
                    result = t == p.text;
                }
                break;
            case Predicate::Match:
                result = p.regex.isValid() && p.regex.match(t).hasMatch();
                break;
            case Predicate::AnyOf:
                result = std::any_of(p.values.begin(), p.values.end(), [&](const QString &v) { return t == v; });
                break;
            }
            if (result == p.negated)
                return false;
        }
        return true;
    }
};

Highlighter::Highlighter(const QString &language)
    : d(std::make_unique<Private>())
{
    const Grammar *g = grammarFor(language);
    if (g && g->query) {
        d->grammar = g;
        d->parser = ts_parser_new();
        if (!ts_parser_set_language(d->parser, g->language))
            d->grammar = nullptr;
    }
}

Highlighter::~Highlighter() = default;

bool Highlighter::isValid() const { return d->grammar; }

bool Highlighter::parse(QStringView text, const CancelFlag *cancel)
{
    if (!d->grammar)
        return false;
    if (d->tree) {
        ts_tree_delete(d->tree);
        d->tree = nullptr;
    }
    d->text = text;
    static_assert(sizeof(CancelFlag) == sizeof(size_t));
    ts_parser_set_cancellation_flag(d->parser, reinterpret_cast<const size_t *>(cancel));
    d->tree = ts_parser_parse_string_encoding(d->parser, nullptr, reinterpret_cast<const char *>(text.utf16()),
                                              uint32_t(text.size() * 2), TSInputEncodingUTF16);
    ts_parser_set_cancellation_flag(d->parser, nullptr);
    if (!d->tree) {
        ts_parser_reset(d->parser);
        return false;
    }
    return true;
}

QList<Span> Highlighter::spans(qsizetype from, qsizetype to, const CancelFlag *cancel) const
{
    QList<Span> out;
    from = std::max<qsizetype>(0, from);
    to = std::min(to, d->text.size());
    if (!d->tree || from >= to)
        return out;
    const Grammar &g = *d->grammar;

    std::vector<Capture> captures;
    TSQueryCursor *cursor = ts_query_cursor_new();
    ts_query_cursor_set_byte_range(cursor, uint32_t(from * 2), uint32_t(to * 2));
    ts_query_cursor_exec(cursor, g.query, ts_tree_root_node(d->tree));
    TSQueryMatch match;
    uint32_t index = 0;
    uint32_t checked = UINT32_MAX; // the match whose predicates were last found to hold
    size_t seen = 0;
    while (ts_query_cursor_next_capture(cursor, &match, &index)) {
        if ((++seen & 4095) == 0 && cancel && cancel->load(std::memory_order_relaxed)) {
            ts_query_cursor_delete(cursor);
            return {};
        }
        const TSQueryCapture &c = match.captures[index];
        const Style style = g.captureStyles[c.index];
        if (style == Style::None)
            continue;
        if (match.id != checked) {
            if (!g.predicates[match.pattern_index].empty() && !d->holds(match)) {
                ts_query_cursor_remove_match(cursor, match.id);
                continue;
            }
            checked = match.id;
        }
        const uint32_t a = std::max<uint32_t>(ts_node_start_byte(c.node) / 2, uint32_t(from));
        const uint32_t b = std::min<uint32_t>(ts_node_end_byte(c.node) / 2, uint32_t(to));
        if (b > a)
            captures.push_back({a, b, match.pattern_index, style});
    }
    ts_query_cursor_delete(cursor);

    // Outer before inner, and of one text the query's first pattern first.
    std::stable_sort(captures.begin(), captures.end(), [](const Capture &x, const Capture &y) {
        if (x.start != y.start)
            return x.start < y.start;
        if (x.end != y.end)
            return x.end > y.end;
        return x.pattern < y.pattern;
    });

    auto put = [&](uint32_t a, uint32_t b, Style s) {
        if (b <= a)
            return;
        if (!out.isEmpty() && out.back().style == s && uint32_t(out.back().start + out.back().length) == a)
            out.back().length += int(b - a);
        else
            out.append({int(a), int(b - a), s});
    };
    struct Open {
        uint32_t start;
        uint32_t end;
        Style style;
    };
    std::vector<Open> open;
    uint32_t pos = uint32_t(from);
    for (const Capture &c : captures) {
        while (!open.empty() && open.back().end <= c.start) {
            put(pos, open.back().end, open.back().style);
            pos = std::max(pos, open.back().end);
            open.pop_back();
        }
        if (!open.empty()) {
            if (c.start == open.back().start && c.end == open.back().end)
                continue; // the same text captured again by a later pattern
            put(pos, c.start, open.back().style);
        }
        pos = std::max(pos, c.start);
        const uint32_t end = open.empty() ? c.end : std::min(c.end, open.back().end);
        if (end > c.start)
            open.push_back({c.start, end, c.style});
    }
    while (!open.empty()) {
        put(pos, open.back().end, open.back().style);
        pos = std::max(pos, open.back().end);
        open.pop_back();
    }
    return out;
}

QList<Span> highlightText(const QString &language, QStringView text)
{
    Highlighter h(language);
    if (!h.parse(text))
        return {};
    return h.spans(0, text.size());
}

} // namespace highlight
