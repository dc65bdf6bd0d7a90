#include "browser/Icons.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace browser {

namespace {

QPixmap canvas(int size = 32)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    return pm;
}

QPixmap folder(const QColor &color, bool open)
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(color.darker(160), 1.5));
    p.setBrush(color);
    QPainterPath tab;
    tab.addRoundedRect(QRectF(3, 6, 12, 6), 2, 2);
    p.drawPath(tab);
    p.drawRoundedRect(QRectF(3, 9, 26, 18), 2, 2);
    if (open) {
        p.setBrush(color.lighter(130));
        QPolygonF flap;
        flap << QPointF(7, 14) << QPointF(31, 14) << QPointF(27, 27) << QPointF(3, 27);
        p.drawPolygon(flap);
    }
    return pm;
}

QPixmap page(bool open)
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(70, 80, 100), 1.5));
    p.setBrush(open ? QColor(255, 250, 205) : QColor(250, 250, 250));
    p.drawRect(QRectF(6, 3, 20, 26));
    p.setPen(QPen(open ? QColor(0, 0, 128) : QColor(120, 120, 140), 2));
    for (int y = 9; y <= 23; y += 5)
        p.drawLine(QPointF(10, y), QPointF(y == 14 ? 18 : 22, y));
    return pm;
}

QPixmap glyph(const QColor &color, const QString &text)
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawRoundedRect(QRectF(2, 2, 28, 28), 6, 6);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setBold(true);
    f.setPixelSize(text.size() > 1 ? 13 : 20);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(2, 2, 28, 28), Qt::AlignCenter, text);
    return pm;
}

} // namespace

QIcon treeImage(const QString &key)
{
    static QHash<QString, QIcon> images;
    if (images.isEmpty()) {
        images.insert(QStringLiteral("topopen"), QIcon(folder(QColor(70, 130, 180), true)));
        images.insert(QStringLiteral("groubopen1"), QIcon(folder(QColor(240, 190, 70), true)));
        images.insert(QStringLiteral("codeclose"), QIcon(page(false)));
        images.insert(QStringLiteral("codeopen"), QIcon(page(true)));
    }
    return images.value(key);
}

namespace {
// Freedesktop icon names for each button, best first. A desktop without an icon theme of its own
// gets them from the fallback theme that the set-up installs; without that either, the drawn glyph.
const QHash<QString, QStringList> &themeNames()
{
    static const QHash<QString, QStringList> names = {
        {QStringLiteral("InsertCode"), {QStringLiteral("document-new"), QStringLiteral("list-add")}},
        {QStringLiteral("EditCode"),
         {QStringLiteral("document-edit"), QStringLiteral("accessories-text-editor"),
          QStringLiteral("document-properties")}},
        {QStringLiteral("DelCode"), {QStringLiteral("edit-delete")}},
        {QStringLiteral("save"), {QStringLiteral("document-save-as"), QStringLiteral("document-save")}},
        {QStringLiteral("print"), {QStringLiteral("document-print")}},
        {QStringLiteral("updat"), {QStringLiteral("system-software-update"), QStringLiteral("view-refresh")}},
        {QStringLiteral("SearchCode"), {QStringLiteral("edit-find"), QStringLiteral("system-search")}},
        // A command, not a device: the disk icon, grey as a disabled button, read as one.
        {QStringLiteral("compactDb"), {QStringLiteral("edit-clear-all"), QStringLiteral("package-x-generic")}},
        {QStringLiteral("Info"), {QStringLiteral("help-about")}},
        {QStringLiteral("EndProg"), {QStringLiteral("application-exit"), QStringLiteral("system-log-out")}},
    };
    return names;
}
} // namespace

const char *const FallbackIconTheme = "Adwaita";

QIcon toolbarImage(const QString &key)
{
    static const bool fallbackSet = [] {
        // hicolor, Qt's own default, holds application icons only.
        const QString fallback = QIcon::fallbackThemeName();
        if (fallback.isEmpty() || fallback == QLatin1String("hicolor"))
            QIcon::setFallbackThemeName(QLatin1String(FallbackIconTheme));
        return true;
    }();
    Q_UNUSED(fallbackSet);
    for (const QString &name : themeNames().value(key)) {
        if (QIcon::hasThemeIcon(name))
            return QIcon::fromTheme(name);
    }
    return drawnToolbarImage(key);
}

QIcon drawnToolbarImage(const QString &key)
{
    static const QHash<QString, QPair<QColor, QString>> looks = {
        {QStringLiteral("InsertCode"), {QColor(46, 139, 87), QStringLiteral("+")}},
        {QStringLiteral("EditCode"), {QColor(65, 105, 225), QStringLiteral("✎")}},
        {QStringLiteral("DelCode"), {QColor(178, 34, 34), QStringLiteral("✕")}},
        {QStringLiteral("save"), {QColor(0, 100, 140), QStringLiteral("⤓")}},
        {QStringLiteral("print"), {QColor(90, 90, 110), QStringLiteral("⎙")}},
        {QStringLiteral("updat"), {QColor(210, 105, 30), QStringLiteral("⟳")}},
        {QStringLiteral("SearchCode"), {QColor(72, 61, 139), QStringLiteral("⌕")}},
        {QStringLiteral("compactDb"), {QColor(47, 79, 79), QStringLiteral("⇲")}},
        {QStringLiteral("Info"), {QColor(30, 144, 255), QStringLiteral("i")}},
        {QStringLiteral("EndProg"), {QColor(128, 0, 0), QStringLiteral("⏻")}},
    };
    const auto look = looks.value(key, {QColor(Qt::gray), QString()});
    return QIcon(glyph(look.first, look.second));
}

QIcon appIcon()
{
    QIcon icon;
    icon.addPixmap(glyph(QColor(0, 0, 128), QStringLiteral("{ }")));
    return icon;
}

} // namespace browser
