#include "browser/FrmMain.h"

#include "about/Effects.h"
#include "browser/CountText.h"
#include "browser/HelpText.h"
#include "browser/Icons.h"
#include "browser/Keywords.h"
#include "browser/WindowSettings.h"
#include "messages/ArabicMsgBox.h"
#include "platform/MessageBox.h"
#include "platform/RichTextBox.h"
#include "platform/Twips.h"
#include "store/Library.h"
#include "store/LibraryConnection.h"
#include "store/NodeKey.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCollator>
#include <QDialog>
#include <QFrame>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QTime>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace browser {

using platform::toPixelsX;
using platform::toPixelsY;
using platform::toTwipsX;

namespace {

const QColor UserBlue(0, 0, 255);
constexpr int KeyRole = Qt::UserRole;
constexpr int KnownTextRole = Qt::UserRole + 1;

struct MenuItem {
    const char *name;
    const char *caption; // nullptr: separator
    const char *shortcut;
};

struct MenuSpec {
    const char *name;
    const char *caption;
    QList<MenuItem> items;
};

const QList<MenuSpec> &menuSpecs()
{
    static const QList<MenuSpec> specs = {
        {"mnufile", "ملف",
         {{"mnusaveas", "حفظ باسم", "Ctrl+S"},
          {"mnuCreateUpDat", "إنشاء ملف تحديث", nullptr},
          {"mnuUpDat", "تحديث", "Ctrl+U"},
          {"sp", nullptr, nullptr},
          {"mnuprint", "طباعة", "Ctrl+P"},
          {"sp1", nullptr, nullptr},
          {"mnuClose", "إنهاء", nullptr}}},
        {"mnuedit", "تحرير", {{"mnuCopy", "نسخ", "Ctrl+C"}, {"mnuCopyAll", "نسخ الكل", nullptr}}},
        {"code", "كود",
         {{"Add", "إضافة", "Ctrl+Insert"},
          {"edit", "تعديل", nullptr},
          {"del", "حذف", "Delete"},
          {"sep", nullptr, nullptr},
          {"UsrUn", "دمج كود المستخدم", nullptr},
          {"CurUsrCodRmv", "دمج الكود الحالي", nullptr},
          {"CurMrkUsr", "كود مستخدم", nullptr}}},
        {"mnutools", "أدوات",
         {{"mnuOpenTree", "توسيع شجرة الأكواد", nullptr},
          {"mnuCloseTree", "طي شجرة الأكواد", nullptr},
          {"sp10", nullptr, nullptr},
          {"mnusearch", "بحث...", "Ctrl+F"},
          {"mnuCompDbas", "ضغط قاعدة البيانات", "Ctrl+Q"}}},
        {"AddIns", "إضافات", {{"MsgCreat", "مصمم الرسائل", "Ctrl+M"}}},
        {"mnuhelp", "تعليمات",
         {{"smnuhelp", "تعليمات", "F1"}, {"smnusp", nullptr, nullptr}, {"smnuabout", "عن Tamrisk", nullptr}}},
    };
    return specs;
}

struct ToolButton {
    const char *key;
    const char *tooltip;
    const char *command;
    bool separatorAfter;
};

const QList<ToolButton> &toolButtons()
{
    static const QList<ToolButton> buttons = {
        {"InsertCode", "إضافة كود جديد", "Add", false},
        {"EditCode", "تعديل الكود الحالي", "edit", false},
        {"DelCode", "حذف الكود الحالي", "del", true},
        {"save", "حفظ الكود الحالي", "mnusaveas", false},
        {"print", "طباعة الكود الحالي", "mnuprint", false},
        {"updat", "تحديث", "mnuUpDat", true},
        {"SearchCode", "بحث", "mnusearch", false},
        {"compactDb", "ضغط قاعدة البيانات وتنظيمها", "mnuCompDbas", true},
        {"Info", "نبذة عن البرنامج", "smnuabout", true},
        {"EndProg", "إنهاء البرنامج", "mnuClose", false},
    };
    return buttons;
}

QString u(const char *utf8) { return QString::fromUtf8(utf8); }

// A tree node that keeps its key and its last stored text as members and shares its image:
// a library of 100,000 snippets makes 100,000 of these.
class NodeItem : public QTreeWidgetItem
{
public:
    NodeItem(const QString &key, const QString &text, const QIcon &image)
        : QTreeWidgetItem(QStringList{text})
        , m_key(key)
        , m_known(text)
        , m_image(image)
    {
        setFlags(flags() | Qt::ItemIsEditable);
    }

    QVariant data(int column, int role) const override
    {
        if (column == 0) {
            if (role == KeyRole)
                return m_key;
            if (role == KnownTextRole)
                return m_known;
            if (role == Qt::DecorationRole)
                return m_image;
        }
        return QTreeWidgetItem::data(column, role);
    }

    void setData(int column, int role, const QVariant &value) override
    {
        if (column == 0 && role == KnownTextRole)
            m_known = value.toString();
        else
            QTreeWidgetItem::setData(column, role, value);
    }

    qint32 id() const { return store::nodeId(m_key); }

private:
    QString m_key;
    QString m_known;
    QIcon m_image;
};

// Sorts items by their text the way people expect: Arabic and Latin collated, case ignored.
void sortByText(QList<QTreeWidgetItem *> &items)
{
    static QCollator collator = [] {
        QCollator c(QLocale(QLocale::Arabic));
        c.setCaseSensitivity(Qt::CaseInsensitive);
        c.setNumericMode(true);
        return c;
    }();
    struct Keyed {
        QCollatorSortKey key;
        qint32 id;
        QTreeWidgetItem *item;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(items.size());
    for (QTreeWidgetItem *item : items)
        keyed.push_back({collator.sortKey(item->text(0)), static_cast<NodeItem *>(item)->id(), item});
    // Equal titles keep the order in which they were added.
    std::sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) {
        const int c = a.key.compare(b.key);
        return c != 0 ? c < 0 : a.id < b.id;
    });
    for (qsizetype i = 0; i < qsizetype(keyed.size()); ++i)
        items[i] = keyed[size_t(i)].item;
}

void sortChildren(QTreeWidgetItem *parent)
{
    QList<QTreeWidgetItem *> children = parent->takeChildren();
    sortByText(children);
    parent->addChildren(children);
}

} // namespace

struct FrmMain::Private {
    QTreeWidget *tree = nullptr;
    platform::RichTextBox *view = nullptr;
    platform::RichTextBox *hidden = nullptr;
    QTabBar *tabs = nullptr;
    QFrame *frame = nullptr;
    QWidget *central = nullptr;
    QWidget *splitter = nullptr;
    QToolBar *toolbar = nullptr;
    QProgressBar *progress = nullptr;
    QLabel *panels[3] = {nullptr, nullptr, nullptr};
    QTimer *clock = nullptr;
    QHash<QString, QAction *> actions;
    QHash<QString, QMenu *> menus;
    QHash<QString, QTreeWidgetItem *> nodes;
    int splitterPos = 0; // twips
    bool dragging = false;
    bool loading = false;
    // What the view shows, so that showing the same text again (focus, click and key release
    // all ask for it) does not colour a large snippet over and over.
    struct Shown {
        const QTextDocument *document = nullptr;
        int revision = -1;
        bool codeTab = true;
        QString text;
    } shown;
};

FrmMain::FrmMain(QWidget *parent)
    : QMainWindow(parent)
    , d(new Private)
{
    setObjectName(QStringLiteral("FrmMain"));
    setWindowTitle(QStringLiteral("Tamrisk"));
    setWindowIcon(appIcon());
    setLayoutDirection(Qt::RightToLeft);

    // Menu bar.
    for (const MenuSpec &spec : menuSpecs()) {
        QMenu *menu = menuBar()->addMenu(u(spec.caption));
        menu->setObjectName(QLatin1String(spec.name));
        menu->menuAction()->setObjectName(QLatin1String(spec.name) + QStringLiteral("Menu"));
        d->menus.insert(QLatin1String(spec.name), menu);
        for (const MenuItem &item : spec.items) {
            QAction *action = item.caption ? menu->addAction(u(item.caption)) : menu->addSeparator();
            action->setObjectName(QLatin1String(item.name));
            if (item.shortcut)
                action->setShortcut(QKeySequence(QLatin1String(item.shortcut)));
            d->actions.insert(QLatin1String(item.name), action);
        }
    }
    // The tree runs delete on its own key release; a window-wide Delete would delete twice
    // and would steal the key from the text boxes.
    command(QStringLiteral("del"))->setShortcutContext(Qt::WidgetShortcut);
    command(QStringLiteral("mnuCopy"))->setEnabled(false);

    // Toolbar.
    d->toolbar = addToolBar(QStringLiteral("Tlbar"));
    d->toolbar->setObjectName(QStringLiteral("Tlbar"));
    d->toolbar->setMovable(false);
    d->toolbar->setIconSize(QSize(24, 24));
    for (const ToolButton &b : toolButtons()) {
        QAction *action = d->toolbar->addAction(toolbarImage(QLatin1String(b.key)), u(b.tooltip));
        action->setObjectName(QLatin1String(b.key));
        action->setToolTip(u(b.tooltip));
        const QString key = QLatin1String(b.key);
        connect(action, &QAction::triggered, this, [this, key] { runToolbarKey(key); });
        if (b.separatorAfter)
            d->toolbar->addSeparator();
    }

    // Central area: Frame1 (tab strip + view) on the left, the splitter, the tree on the right.
    d->central = new QWidget(this);
    d->central->setObjectName(QStringLiteral("central"));
    d->central->setLayoutDirection(Qt::LeftToRight); // positions below are computed, not mirrored
    setCentralWidget(d->central);

    d->frame = new QFrame(d->central);
    d->frame->setObjectName(QStringLiteral("Frame1"));
    d->frame->setFrameShape(QFrame::StyledPanel);

    d->tabs = new QTabBar(d->frame);
    d->tabs->setObjectName(QStringLiteral("TS1"));
    d->tabs->setLayoutDirection(Qt::RightToLeft);
    d->tabs->setExpanding(false);
    d->tabs->setDrawBase(true);
    const int codeTab = d->tabs->addTab(QStringLiteral("الكـــــــــود"));
    d->tabs->setTabData(codeTab, QStringLiteral("Code"));
    const int learnTab = d->tabs->addTab(QStringLiteral("الشـــــــــرح"));
    d->tabs->setTabData(learnTab, QStringLiteral("Learn"));
    d->tabs->setAccessibleName(QStringLiteral("الكود والشرح"));

    d->view = new platform::RichTextBox(d->frame);
    d->view->setObjectName(QStringLiteral("RTxt1"));
    d->view->setReadOnly(true);
    d->view->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    d->view->setAccessibleName(QStringLiteral("الكـــــــــود"));
    d->view->setNoWrap();
    d->view->setLayoutDirection(Qt::LeftToRight);

    d->hidden = new platform::RichTextBox(d->central);
    d->hidden->setObjectName(QStringLiteral("rtfhid"));
    d->hidden->hide();

    d->splitter = new QWidget(d->central);
    d->splitter->setObjectName(QStringLiteral("picResize"));
    d->splitter->setCursor(Qt::SplitHCursor);
    d->splitter->setAutoFillBackground(true);
    d->splitter->setAccessibleName(QStringLiteral("picResize"));
    d->splitter->installEventFilter(this);

    d->tree = new QTreeWidget(d->central);
    d->tree->setObjectName(QStringLiteral("TVCodeHead"));
    d->tree->setHeaderHidden(true);
    d->tree->setLayoutDirection(Qt::RightToLeft);
    d->tree->setSortingEnabled(false);
    d->tree->setUniformRowHeights(true);
    d->tree->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    d->tree->setAccessibleName(QStringLiteral("أكواد"));
    d->tree->installEventFilter(this);
    d->tree->viewport()->installEventFilter(this);

    // Status bar: date, time, count.
    statusBar()->setObjectName(QStringLiteral("StBar"));
    statusBar()->setSizeGripEnabled(false);
    const char *panelNames[3] = {"panel1", "panel2", "panel3"};
    for (int i = 0; i < 3; ++i) {
        d->panels[i] = new QLabel(statusBar());
        d->panels[i]->setObjectName(QLatin1String(panelNames[i]));
        d->panels[i]->setAlignment(Qt::AlignCenter);
        d->panels[i]->setFrameShape(QFrame::Panel);
        d->panels[i]->setFrameShadow(QFrame::Sunken);
        statusBar()->addWidget(d->panels[i], i == 2 ? 1 : 0);
    }
    d->progress = new QProgressBar(statusBar());
    d->progress->setObjectName(QStringLiteral("ProgressBar1"));
    d->progress->setRange(0, 100);
    d->progress->setTextVisible(false);
    d->progress->hide();
    d->clock = new QTimer(this);
    connect(d->clock, &QTimer::timeout, this, [this] {
        d->panels[1]->setText(QLocale(QLocale::Arabic).toString(QTime::currentTime(), QStringLiteral("hh:mm:ss")));
    });
    d->clock->start(1000);
    d->panels[1]->setText(QLocale(QLocale::Arabic).toString(QTime::currentTime(), QStringLiteral("hh:mm:ss")));

    // Behaviour.
    connect(d->tree, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem *item, int) {
        if (d->loading || item->text(0) == item->data(0, KnownTextRole).toString())
            return;
        const QString key = keyOf(item);
        const QString newText = item->text(0);
        try {
            bool stored = true;
            if (store::nodeKind(key) == store::NodeKind::Snippet)
                stored = store::Library::renameSnippet(store::nodeId(key), newText);
            else if (store::nodeKind(key) == store::NodeKind::Category)
                stored = store::Library::renameCategory(store::nodeId(key), newText);
            Q_UNUSED(stored); // a row deleted meanwhile: the node keeps the text, nothing is written
            item->setData(0, KnownTextRole, newText);
        } catch (const store::StoreError &e) {
            messages::showError(this, QStringLiteral("تعذر حفظ الاسم الجديد: ") + e.message());
            d->loading = true;
            item->setText(0, item->data(0, KnownTextRole).toString());
            d->loading = false;
        }
    });
    connect(d->tree, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *item, int) {
        if (item && store::nodeKind(keyOf(item)) == store::NodeKind::Snippet)
            command(QStringLiteral("edit"))->trigger();
    });
    connect(d->tabs, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index >= 0)
            d->tabs->setCurrentIndex(index);
        ShowSelectedSnippet();
        about::RepaintControl(d->tabs);
        about::RepaintControl(d->view);
    });
    connect(d->view, &QTextEdit::selectionChanged, this,
            [this] { command(QStringLiteral("mnuCopy"))->setEnabled(d->view->selLength() >= 1); });
    connect(d->view, &platform::RichTextBox::mouseReleased, this, [this](Qt::MouseButton button, const QPoint &pos) {
        if (button == Qt::RightButton)
            menu(QStringLiteral("mnuedit"))->exec(pos);
    });
    connect(command(QStringLiteral("mnuCopy")), &QAction::triggered, this, [this] {
        QGuiApplication::clipboard()->clear();
        QGuiApplication::clipboard()->setText(d->view->selText());
    });
    connect(command(QStringLiteral("mnuCopyAll")), &QAction::triggered, this, [this] {
        QGuiApplication::clipboard()->clear();
        QGuiApplication::clipboard()->setText(d->view->text());
    });
    connect(command(QStringLiteral("mnuClose")), &QAction::triggered, this, &QWidget::close);
    connect(command(QStringLiteral("mnuOpenTree")), &QAction::triggered, this, [this] { SetTreeExpanded(true); });
    connect(command(QStringLiteral("mnuCloseTree")), &QAction::triggered, this, [this] {
        SetTreeExpanded(false);
        if (QTreeWidgetItem *root = node(store::RootKey))
            root->setExpanded(true);
        d->view->setText(QString());
    });
    connect(command(QStringLiteral("smnuhelp")), &QAction::triggered, this, [this] { showHelp(); });
    connect(menu(QStringLiteral("code")), &QMenu::aboutToShow, this, [this] { updateCodeMenu(false); });
}

FrmMain::~FrmMain() { delete d; }

void FrmMain::load()
{
    WindowSettings::restore(this);
    d->splitterPos = WindowSettings::restoredSplit(this);
    d->splitter->setPalette(palette());
    addRootNode();
    d->view->setNoWrap();
    LoadCategories();
    LoadSnippets();
    UpdateStatusBar();
    layoutControls();
}

QTreeWidget *FrmMain::TVCodeHead() const { return d->tree; }
platform::RichTextBox *FrmMain::RTxt1() const { return d->view; }
platform::RichTextBox *FrmMain::rtfhid() const { return d->hidden; }
QTabBar *FrmMain::TS1() const { return d->tabs; }
QStatusBar *FrmMain::StBar() const { return const_cast<FrmMain *>(this)->statusBar(); }
QLabel *FrmMain::statusPanel(int panel) const { return d->panels[qBound(1, panel, 3) - 1]; }
QProgressBar *FrmMain::ProgressBar1() const { return d->progress; }
QToolBar *FrmMain::Tlbar() const { return d->toolbar; }
QWidget *FrmMain::picResize() const { return d->splitter; }
QAction *FrmMain::command(const QString &objectName) const { return d->actions.value(objectName); }
QMenu *FrmMain::menu(const QString &objectName) const { return d->menus.value(objectName); }

void FrmMain::runToolbarKey(const QString &key)
{
    for (const ToolButton &b : toolButtons()) {
        if (key == QLatin1String(b.key)) {
            if (QAction *action = command(QLatin1String(b.command)))
                action->trigger();
            return;
        }
    }
}

// ---- Category tree -------------------------------------------------------------------------

void FrmMain::ClearTree()
{
    d->tree->setUpdatesEnabled(false);
    d->loading = true;
    d->tree->clear();
    d->nodes.clear();
    d->loading = false;
    d->tree->setUpdatesEnabled(true);
}

QTreeWidgetItem *FrmMain::addRootNode()
{
    auto *root = new NodeItem(store::RootKey, QStringLiteral("أكواد"), treeImage(QStringLiteral("topopen")));
    d->loading = true;
    d->tree->addTopLevelItem(root);
    d->loading = false;
    d->nodes.insert(store::RootKey, root);
    return root;
}

void FrmMain::LoadCategories()
{
    QTreeWidgetItem *root = node(store::RootKey);
    if (!root)
        return;
    QList<store::Category> categories;
    try {
        categories = store::Library::categories();
    } catch (const store::StoreError &) {
        return; // the tree shows what it could read
    }
    d->loading = true;
    QList<QTreeWidgetItem *> items;
    items.reserve(categories.size());
    const QIcon image = treeImage(QStringLiteral("groubopen1"));
    for (const store::Category &c : categories) {
        const QString key = store::categoryKey(c.id);
        if (d->nodes.contains(key))
            continue;
        auto *item = new NodeItem(key, c.caption.toString(), image);
        d->nodes.insert(key, item);
        items.append(item);
    }
    root->addChildren(items);
    d->loading = false;
}

void FrmMain::LoadSnippets()
{
    QTreeWidgetItem *root = node(store::RootKey);
    if (!root)
        return;
    QList<store::SnippetSummary> snippets;
    try {
        snippets = store::Library::snippetSummaries();
    } catch (const store::StoreError &) {
        return;
    }
    d->loading = true;
    d->tree->setUpdatesEnabled(false);
    QIcon image;
    image.addPixmap(treeImage(QStringLiteral("codeclose")).pixmap(32), QIcon::Normal);
    image.addPixmap(treeImage(QStringLiteral("codeopen")).pixmap(32), QIcon::Selected);
    QHash<QTreeWidgetItem *, QList<QTreeWidgetItem *>> byCategory;
    for (const store::SnippetSummary &s : snippets) {
        // A snippet without a category node is skipped; the ones after it still load.
        if (s.groub.isNull())
            continue;
        QTreeWidgetItem *parent = d->nodes.value(store::categoryKey(s.groub.toLongLong()));
        const QString key = store::snippetKey(s.id);
        if (!parent || d->nodes.contains(key) || store::nodeKind(keyOf(parent)) != store::NodeKind::Category)
            continue;
        auto *item = new NodeItem(key, s.head.toString(), image);
        if (store::isTrue(s.user))
            item->setForeground(0, UserBlue);
        d->nodes.insert(key, item);
        byCategory[parent].append(item);
    }
    // Sorted once here rather than on every insert.
    for (int i = 0; i < root->childCount(); ++i) {
        QTreeWidgetItem *category = root->child(i);
        QList<QTreeWidgetItem *> children = category->takeChildren();
        children += byCategory.value(category);
        sortByText(children);
        category->addChildren(children);
    }
    sortChildren(root);
    root->setExpanded(true);
    d->tree->setUpdatesEnabled(true);
    d->loading = false;
}

void FrmMain::SetTreeExpanded(bool expand)
{
    d->tree->setUpdatesEnabled(false);
    if (expand)
        d->tree->expandAll();
    else
        d->tree->collapseAll();
    // Scroll to the selected node only where it is still shown: scrolling would open its parents.
    QTreeWidgetItem *current = d->tree->currentItem();
    bool shown = current != nullptr;
    for (QTreeWidgetItem *p = current ? current->parent() : nullptr; p && shown; p = p->parent())
        shown = p->isExpanded();
    if (shown)
        d->tree->scrollToItem(current);
    d->tree->setUpdatesEnabled(true);
}

void FrmMain::rebuildTree(const std::function<void()> &work)
{
    ClearTree();
    addRootNode();
    d->view->setTextRTF(QString());
    if (work)
        work();
    LoadCategories();
    LoadSnippets();
}

QTreeWidgetItem *FrmMain::node(const QString &key) const { return d->nodes.value(key); }

QString FrmMain::keyOf(const QTreeWidgetItem *item) { return item ? item->data(0, KeyRole).toString() : QString(); }

QString FrmMain::selectedKey() const
{
    const auto selected = d->tree->selectedItems();
    if (!selected.isEmpty())
        return keyOf(selected.first());
    return QString();
}

void FrmMain::selectNode(const QString &key)
{
    QTreeWidgetItem *item = node(key);
    if (!item)
        return;
    d->tree->setCurrentItem(item);
    item->setSelected(true);
    d->tree->scrollToItem(item);
}

void FrmMain::removeNode(const QString &key)
{
    QTreeWidgetItem *item = d->nodes.take(key);
    if (!item)
        return;
    for (int i = 0; i < item->childCount(); ++i)
        d->nodes.remove(keyOf(item->child(i)));
    delete item;
}

bool FrmMain::isUserNode(const QTreeWidgetItem *item)
{
    if (!item)
        return false;
    const QBrush brush = item->foreground(0);
    return brush.style() != Qt::NoBrush && brush.color() == UserBlue;
}

void FrmMain::setUserNode(QTreeWidgetItem *item, bool user)
{
    if (!item)
        return;
    const QSignalBlocker block(item->treeWidget());
    item->setForeground(0, user ? QBrush(UserBlue) : QBrush());
    if (item->treeWidget())
        item->treeWidget()->viewport()->update();
}

void FrmMain::updateCodeMenu(bool popup)
{
    QTreeWidgetItem *item = node(selectedKey());
    const bool snippet = item && store::nodeKind(keyOf(item)) == store::NodeKind::Snippet;
    const bool user = snippet && isUserNode(item);
    QAction *merge = command(QStringLiteral("CurUsrCodRmv"));
    QAction *mark = command(QStringLiteral("CurMrkUsr"));
    if (popup) {
        merge->setVisible(user);
        mark->setVisible(snippet && !user);
    }
    merge->setEnabled(user);
    mark->setEnabled(snippet && !user);
}

void FrmMain::showCodePopup(const QPoint &globalPos)
{
    QAction *sep = command(QStringLiteral("sep"));
    QAction *mergeAll = command(QStringLiteral("UsrUn"));
    sep->setVisible(false);
    mergeAll->setVisible(false);
    updateCodeMenu(true);
    menu(QStringLiteral("code"))->exec(globalPos);
    mergeAll->setVisible(true);
    sep->setVisible(true);
}

// ---- Snippet view ---------------------------------------------------------------------------

bool FrmMain::codeTabSelected() const
{
    return d->tabs->tabData(d->tabs->currentIndex()).toString() == QLatin1String("Code");
}

void FrmMain::ShowSelectedSnippet()
{
    // Told on every way out, so what is drawn over the view can follow what it shows.
    struct ShownSignal {
        FrmMain *window;
        ~ShownSignal() { emit window->snippetShown(); }
    } shownSignal{this};
    const QString key = selectedKey();
    if (store::nodeKind(key) != store::NodeKind::Snippet) {
        d->view->setText(QString());
        return;
    }
    std::optional<QVariant> field;
    try {
        field = store::Library::snippetField(store::nodeId(key), codeTabSelected() ? QStringLiteral("code")
                                                                                   : QStringLiteral("Learn"));
    } catch (const store::StoreError &) {
        return;
    }
    if (field && field->isNull())
        return; // a Null field leaves the view as it was
    const QString text = field ? field->toString() : QString();
    const Private::Shown &shown = d->shown;
    if (shown.document == d->view->document() && shown.revision == d->view->document()->revision() &&
        shown.codeTab == codeTabSelected() && shown.text == text)
        return;
    try {
        ColorKeywords(text, codeTabSelected());
        d->shown = {d->view->document(), d->view->document()->revision(), codeTabSelected(), text};
    } catch (const std::exception &) {
        // Out of memory on a huge snippet: the view stays empty, as it was cleared.
        d->view->setTextRTF(QString());
        platform::plainMessageBox(this, QStringLiteral("Error coloring text"), QStringLiteral("Tamrisk"));
    }
    about::RepaintControl(d->view);
}

void FrmMain::ColorKeywords(const QString &source, bool codeTab)
{
    showProgressOverCountPanel();
    d->view->setTextRTF(QString());

    QString text = source;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));

    // The work area builds the coloured document away from any editor, so nothing is laid out
    // or drawn per insertion; the view then takes it whole.
    auto *doc = new QTextDocument(d->hidden);
    const QFont font = platform::codeFont(10);
    doc->setDefaultFont(font);
    doc->setUndoRedoEnabled(false);
    QTextOption option = doc->defaultTextOption();
    option.setTextDirection(codeTab ? Qt::LeftToRight : Qt::LayoutDirectionAuto);
    doc->setDefaultTextOption(option);

    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    QTextBlockFormat block;
    if (codeTab) {
        // Code reads left to right even when a line starts with an Arabic comment.
        block.setLayoutDirection(Qt::LeftToRight);
        block.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    } else {
        block.setLayoutDirection(Qt::LayoutDirectionAuto);
        block.setAlignment(Qt::AlignLeft);
    }
    cursor.setBlockFormat(block);
    QTextCharFormat plain;
    plain.setFont(font);
    plain.setForeground(Qt::black);
    QTextCharFormat keyword = plain;
    keyword.setForeground(KeywordColor);

    // The text goes in whole; only the keywords then get their colour.
    cursor.insertText(text, plain);
    const QList<KeywordSpan> spans = findKeywords(text);
    const qsizetype total = std::max<qsizetype>(1, spans.size());
    qsizetype done = 0;
    for (const KeywordSpan &span : spans) {
        cursor.setPosition(int(span.start));
        cursor.setPosition(int(span.start + span.length), QTextCursor::KeepAnchor);
        cursor.setCharFormat(keyword);
        if ((++done & 0x3FFF) == 0)
            d->progress->setValue(int(done * 100 / total));
    }
    cursor.endEditBlock();
    d->progress->setValue(100);

    // Hand the finished document to the view and leave the work area empty.
    // (A document the editor created itself is deleted by it; one we handed over is ours to delete.)
    QTextDocument *old = d->view->document();
    const bool oldIsOurs = old && old->parent() == d->view;
    doc->setParent(d->view);
    d->view->setDocument(doc);
    d->hidden->document()->clear();
    if (oldIsOurs)
        delete old;
    d->view->setCurrentCharFormat(plain);
    hideProgress();
}

void FrmMain::UpdateStatusBar()
{
    d->panels[0]->setText(dateText(QDate::currentDate()));
    d->panels[0]->setMinimumWidth(d->panels[0]->sizeHint().width() * 2);
    updateCount();
}

void FrmMain::updateCount()
{
    try {
        d->panels[2]->setText(countText(store::Library::snippetCount()));
    } catch (const store::StoreError &e) {
        d->panels[2]->setText(e.message());
    }
}

void FrmMain::showProgressOverCountPanel()
{
    QLabel *panel = d->panels[2];
    const QRect r = panel->geometry();
    const int dx = toPixelsX(30), dy = toPixelsY(20);
    d->progress->setGeometry(r.x() + dx, r.y() + dy / 2, std::max(1, r.width() - toPixelsX(50)),
                             std::max(4, r.height() - dy));
    d->progress->setValue(0);
    d->progress->show();
    d->progress->raise();
}

void FrmMain::hideProgress() { d->progress->hide(); }

// ---- Layout and splitter --------------------------------------------------------------------

int FrmMain::splitterPos() const { return d->splitterPos; }

void FrmMain::setSplitterPos(int twips)
{
    d->splitterPos = twips;
    layoutControls();
}

void FrmMain::layoutControls()
{
    const double W = toTwipsX(d->central->width());
    const double H = platform::toTwipsY(d->central->height());
    const double S = d->splitterPos;
    // The old arithmetic counted toolbar and status bar inside H; here the central area excludes them.
    const double tsW = S - 200, tsH = H - 200;
    const double frW = S - 25, frH = H - 50;
    const double tvW = W - (S + 50), tvH = H - 125;
    if (tsW <= 0 || tsH <= 0 || frW <= 0 || frH <= 0 || tvW <= 0 || tvH <= 0)
        return; // too small: the controls keep their places
    d->frame->setGeometry(platform::twipsRect(25, 25, frW, frH));
    d->tabs->setGeometry(platform::twipsRect(75 - 25, 100 - 25, tsW, 480));
    d->tree->setGeometry(platform::twipsRect(S + 25, 125, tvW, tvH));
    d->splitter->setGeometry(platform::twipsRect(S, 125, 25, tvH));
    const double vW = tsW - 200, vH = tsH - 580;
    if (vW > 0 && vH > 0)
        d->view->setGeometry(platform::twipsRect(75 - 25 + 100, 100 - 25 + 480, vW, vH));
    d->hidden->move(0, height() + toPixelsY(100));
    about::RepaintControl(statusBar());
}

void FrmMain::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    layoutControls();
}

bool FrmMain::splitterEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        QPalette grey = d->splitter->palette();
        grey.setColor(QPalette::Window, QColor(128, 128, 128));
        d->splitter->setPalette(grey);
        d->dragging = true;
        return true;
    }
    case QEvent::MouseMove: {
        auto *me = static_cast<QMouseEvent *>(event);
        if (!(me->buttons() & Qt::LeftButton))
            return false;
        const int x = int(me->position().x());
        const double W = toTwipsX(d->central->width());
        const int candidate = d->splitter->x() + x;
        const double candidateTwips = toTwipsX(candidate);
        if (x != 0 && candidateTwips > 100 && candidateTwips < W - 100) {
            d->splitter->move(candidate, d->splitter->y());
            d->splitterPos = int(std::lround(toTwipsX(d->splitter->x())));
        }
        d->splitter->raise();
        return true;
    }
    case QEvent::MouseButtonRelease:
        d->splitter->setPalette(palette());
        d->dragging = false;
        layoutControls();
        return true;
    default:
        return false;
    }
}

bool FrmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == d->splitter)
        return splitterEvent(event) || QMainWindow::eventFilter(watched, event);
    if (watched == d->tree) {
        if (event->type() == QEvent::FocusIn) {
            ShowSelectedSnippet();
        } else if (event->type() == QEvent::KeyRelease && QApplication::focusWidget() == d->tree) {
            auto *ke = static_cast<QKeyEvent *>(event);
            if (!ke->isAutoRepeat()) {
                if (ke->key() == Qt::Key_Delete)
                    command(QStringLiteral("del"))->trigger();
                ShowSelectedSnippet();
                about::RepaintControl(d->view);
            }
        }
    } else if (watched == d->tree->viewport() && event->type() == QEvent::MouseButtonRelease) {
        auto *me = static_cast<QMouseEvent *>(event);
        if (me->button() == Qt::LeftButton)
            ShowSelectedSnippet();
        else
            showCodePopup(me->globalPosition().toPoint());
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- Start-up and shutdown ------------------------------------------------------------------

void FrmMain::closeEvent(QCloseEvent *event)
{
    const int answer = messages::ArabicMsgBox(this, QStringLiteral("هل تريد إنهاء البرنامج؟") + messages::spaces(30),
                                              messages::ConfirmTitle, platform::mb::YesNo, platform::mb::Question);
    if (answer != platform::mb::Yes) {
        event->ignore();
        return;
    }
    WindowSettings::save(this);
    event->accept();
    emit closedForGood();
}

void FrmMain::showHelp()
{
    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("helpDialog"));
    dialog.setWindowTitle(QStringLiteral("تعليمات"));
    dialog.setLayoutDirection(Qt::RightToLeft);
    auto *layout = new QVBoxLayout(&dialog);
    auto *browser = new QTextBrowser(&dialog);
    browser->setObjectName(QStringLiteral("helpText"));
    browser->setHtml(helpHtml());
    layout->addWidget(browser);
    dialog.resize(platform::twipsSize(7200, 6000));
    about::PrepareDialog(&dialog);
    dialog.exec();
}

} // namespace browser
