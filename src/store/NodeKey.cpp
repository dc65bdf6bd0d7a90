#include "store/NodeKey.h"

#include <cmath>
#include <limits>

namespace store {

NodeKind nodeKind(const QString &key)
{
    if (key.startsWith(QLatin1Char('T')))
        return NodeKind::Snippet;
    if (key.startsWith(QLatin1Char('K')))
        return NodeKind::Category;
    return NodeKind::Root;
}

qint32 nodeId(const QString &key)
{
    bool ok = false;
    const double value = key.mid(1).trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return 0;
    const double rounded = std::nearbyint(value);
    if (rounded > std::numeric_limits<qint32>::max() || rounded < std::numeric_limits<qint32>::min())
        return 0;
    return qint32(rounded);
}

QString categoryKey(qint64 id) { return QLatin1Char('K') + QString::number(id); }
QString snippetKey(qint64 id) { return QLatin1Char('T') + QString::number(id); }

} // namespace store
