#include "browser/Commands.h"

#include "browser/Icons.h"
#include "platform/Guarded.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

namespace browser {

namespace {
QString u(const char *utf8) { return QString::fromUtf8(utf8); }
} // namespace

const QList<MenuSpec> &menuTable()
{
    using namespace cmd;
    static const QList<MenuSpec> specs = {
        {menus::mnufile,
         "ملف",
         {{mnusaveas, "حفظ باسم", "Ctrl+S"},
          {mnuCreateUpDat, "إنشاء ملف تحديث", nullptr},
          {mnuUpDat, "تحديث", "Ctrl+U"},
          {mnuImport, "استيراد من برنامج آخر...", nullptr},
          {"sp", nullptr, nullptr},
          {mnuprint, "طباعة", "Ctrl+P"},
          {"sp1", nullptr, nullptr},
          {mnuTeamLibrary, "فتح مكتبة فريق...", nullptr},
          {mnuFileLibrary, "العودة إلى مكتبة الملف", nullptr},
          {mnuCopyToTeam, "نسخ إلى مكتبة الفريق", nullptr},
          {mnuCopyToMine, "نسخ إلى مكتبتي", nullptr},
          {"sp2", nullptr, nullptr},
          {mnuClose, "إنهاء", nullptr}}},
        {menus::mnuedit,
         "تحرير",
         {{mnuCopy, "نسخ", "Ctrl+C"},
          {mnuCopyAll, "نسخ الكل", nullptr},
          {"sp5", nullptr, nullptr},
          {mnuTrash, "سلة المحذوفات", nullptr}}},
        {menus::code,
         "كود",
         {{Add, "إضافة", "Ctrl+Insert"},
          {edit, "تعديل", nullptr},
          {del, "حذف", "Delete"},
          {sep, nullptr, nullptr},
          {UsrUn, "دمج كود المستخدم", nullptr},
          {CurUsrCodRmv, "دمج الكود الحالي", nullptr},
          {CurMrkUsr, "كود مستخدم", nullptr}}},
        {menus::mnutools,
         "أدوات",
         {{mnuOpenTree, "توسيع شجرة الأكواد", nullptr},
          {mnuCloseTree, "طي شجرة الأكواد", nullptr},
          {"sp10", nullptr, nullptr},
          {mnusearch, "بحث...", "Ctrl+F"},
          {mnuCompDbas, "ضغط قاعدة البيانات", "Ctrl+Q"}}},
        {menus::AddIns, "إضافات", {{MsgCreat, "مصمم الرسائل", "Ctrl+M"}}},
        {menus::mnuhelp,
         "تعليمات",
         {{smnuhelp, "تعليمات", "F1"}, {"smnusp", nullptr, nullptr}, {smnuabout, "عن Tamrisk", nullptr}}},
    };
    return specs;
}

const QList<ToolButton> &toolbarTable()
{
    using namespace cmd;
    static const QList<ToolButton> buttons = {
        {"InsertCode", "إضافة كود جديد", Add, false},
        {"EditCode", "تعديل الكود الحالي", edit, false},
        {"DelCode", "حذف الكود الحالي", del, true},
        {"save", "حفظ الكود الحالي", mnusaveas, false},
        {"print", "طباعة الكود الحالي", mnuprint, false},
        {"updat", "تحديث", mnuUpDat, true},
        {"SearchCode", "بحث", mnusearch, false},
        {"compactDb", "ضغط قاعدة البيانات وتنظيمها", mnuCompDbas, true},
        {"Info", "نبذة عن البرنامج", smnuabout, true},
        {"EndProg", "إنهاء البرنامج", mnuClose, false},
    };
    return buttons;
}

CommandBar::CommandBar(QMainWindow *window)
    : m_window(window)
{
    for (const MenuSpec &spec : menuTable()) {
        QMenu *menu = window->menuBar()->addMenu(u(spec.caption));
        menu->setObjectName(QLatin1String(spec.name));
        menu->menuAction()->setObjectName(QLatin1String(spec.name) + QStringLiteral("Menu"));
        m_menus.insert(QLatin1String(spec.name), menu);
        for (const MenuItem &item : spec.items) {
            QAction *action = item.caption ? menu->addAction(u(item.caption)) : menu->addSeparator();
            action->setObjectName(QLatin1String(item.name));
            if (item.shortcut)
                action->setShortcut(QKeySequence(QLatin1String(item.shortcut)));
            m_actions.insert(QLatin1String(item.name), action);
        }
    }

    // The title names the bar for screen readers and in the window's tool bar menu.
    m_toolbar = window->addToolBar(QStringLiteral("شريط الأدوات"));
    m_toolbar->setObjectName(QStringLiteral("Tlbar"));
    m_toolbar->setAccessibleName(m_toolbar->windowTitle());
    m_toolbar->setMovable(false);
    m_toolbar->setIconSize(QSize(24, 24));
    for (const ToolButton &b : toolbarTable()) {
        if (!m_actions.contains(QLatin1String(b.command)))
            qFatal("Toolbar button %s names the command %s, which no menu item has", b.key, b.command);
        QAction *action = m_toolbar->addAction(toolbarImage(QLatin1String(b.key)), u(b.tooltip));
        action->setObjectName(QLatin1String(b.key));
        action->setToolTip(u(b.tooltip));
        const QString key = QLatin1String(b.key);
        QObject::connect(action, &QAction::triggered, window, [this, key] { runToolbarKey(key); });
        // Tool bars keep their buttons out of the Tab chain; keyboard users need them in it.
        if (QWidget *button = m_toolbar->widgetForAction(action)) {
            button->setFocusPolicy(Qt::TabFocus);
            button->setAccessibleName(u(b.tooltip));
        }
        if (b.separatorAfter)
            m_toolbar->addSeparator();
    }
}

QAction *CommandBar::action(const QString &name) const { return m_actions.value(name); }

QMenu *CommandBar::menu(const QString &name) const { return m_menus.value(name); }

void CommandBar::handle(const char *name, std::function<void()> handler)
{
    QAction *item = action(QLatin1String(name));
    if (!item || item->isSeparator())
        qFatal("No command %s in the main window's menus", name);
    if (m_handled.contains(QLatin1String(name)))
        qFatal("The command %s already has a handler", name);
    m_handled.append(QLatin1String(name));
    // No handler's failure may leave the slot: that would end the program.
    QObject::connect(item, &QAction::triggered, m_window,
                     [window = m_window, handler = std::move(handler)] { platform::runGuarded(window, handler); });
}

void CommandBar::runToolbarKey(const QString &key) const
{
    for (const ToolButton &b : toolbarTable()) {
        if (key == QLatin1String(b.key)) {
            action(QLatin1String(b.command))->trigger();
            return;
        }
    }
}

} // namespace browser
