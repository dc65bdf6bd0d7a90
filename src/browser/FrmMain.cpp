#include "browser/FrmMain.h"

#include "about/Effects.h"
#include "browser/Accessibility.h"
#include "browser/CategoryTree.h"
#include "browser/Commands.h"
#include "browser/CountText.h"
#include "browser/DamageReport.h"
#include "browser/HelpText.h"
#include "browser/Icons.h"
#include "browser/KeywordColorer.h"
#include "highlight/Highlighter.h"
#include "browser/MainLayout.h"
#include "browser/WindowSettings.h"
#include "messages/ArabicMsgBox.h"
#include "platform/Digits.h"
#include "platform/MessageBox.h"
#include "platform/RichTextBox.h"
#include "platform/Twips.h"
#include "store/Library.h"
#include "store/StoreError.h"
#include "store/NodeKey.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDialog>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTextBrowser>
#include <QTime>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <memory>

namespace browser {

struct FrmMain::Private {
    explicit Private(store::Library &library)
        : library(library)
    { }
    store::Library &library;
    QTreeView *tree = nullptr;
    platform::RichTextBox *view = nullptr;
    platform::RichTextBox *hidden = nullptr;
    QTabBar *tabs = nullptr;
    QFrame *frame = nullptr;
    QWidget *central = nullptr;
    QWidget *splitter = nullptr;
    QProgressBar *progress = nullptr;
    QLabel *panels[3] = {nullptr, nullptr, nullptr};
    QTimer *clock = nullptr;
    std::unique_ptr<CommandBar> commands;
    std::unique_ptr<CategoryTree> nodes;
    std::unique_ptr<KeywordColorer> colorer;
    FrmMain::LanguageLookup languageOf;
    MainLayout *layout = nullptr; // a child of the window
    bool watching = false;
    QTimer *refreshLater = nullptr; // a refresh that had to wait for an editor or a dialog
    // What the view shows, so a refresh redraws it only when the snippet's text changed.
    QString shownKey;
    bool shownCode = true;
    QVariant shownField;
};

FrmMain::FrmMain(store::Library &library, QWidget *parent)
    : QMainWindow(parent)
    , d(new Private(library))
{
    setObjectName(QStringLiteral("FrmMain"));
    setWindowTitle(QStringLiteral("Tamrisk"));
    setWindowIcon(appIcon());
    setLayoutDirection(Qt::RightToLeft);

    // Before any control exists: screen readers may ask for an interface as soon as one is made.
    installAccessibility();
    d->commands = std::make_unique<CommandBar>(this);
    // Delete works anywhere in the window. The tree runs delete on its own key release, so it keeps
    // the key from the shortcut (see eventFilter); text boxes being edited take the key themselves.
    command(cmd::del)->setShortcutContext(Qt::WindowShortcut);
    command(cmd::mnuCopy)->setEnabled(false);

    createControls();
    createStatusBar();
    d->nodes = std::make_unique<CategoryTree>(library, d->tree);
    d->colorer = std::make_unique<KeywordColorer>(d->view, d->hidden, d->progress, d->panels[2]);
    d->languageOf = [&library](qint32 id) { return library.snippetLanguage(id); };
    d->layout = new MainLayout(this, {d->central, d->frame, d->tabs, d->view, d->hidden, d->tree, d->splitter});
    connectControls();
}

FrmMain::~FrmMain() { delete d; }

// Frame1 (tab strip + view) on the left, the splitter, the tree on the right.
void FrmMain::createControls()
{
    d->central = new QWidget(this);
    d->central->setObjectName(QStringLiteral("central"));
    d->central->setLayoutDirection(Qt::LeftToRight); // positions are computed, not mirrored
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

    d->splitter = new SplitterBar(d->central);
    d->splitter->setObjectName(QStringLiteral("picResize"));
    d->splitter->setCursor(Qt::SplitHCursor);
    d->splitter->setAutoFillBackground(true);
    d->splitter->setAccessibleName(QStringLiteral("فاصل بين الكود وشجرة الأكواد"));

    d->tree = new QTreeView(d->central);
    d->tree->setObjectName(QStringLiteral("TVCodeHead"));
    d->tree->setHeaderHidden(true);
    d->tree->setLayoutDirection(Qt::RightToLeft);
    d->tree->setSortingEnabled(false);
    d->tree->setUniformRowHeights(true);
    d->tree->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    d->tree->setAccessibleName(QStringLiteral("أكواد"));
    d->tree->installEventFilter(this);
    d->tree->viewport()->installEventFilter(this);
}

// Date, time, count.
void FrmMain::createStatusBar()
{
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
    const auto showTime = [this] {
        d->panels[1]->setText(platform::localDigits(QTime::currentTime().toString(QStringLiteral("hh:mm:ss"))));
    };
    // A fixed name: a label named by its text would be announced anew every second.
    d->panels[1]->setAccessibleName(QStringLiteral("الساعة"));
    d->clock = new QTimer(this);
    connect(d->clock, &QTimer::timeout, this, showTime);
    d->clock->start(1000);
    showTime();
}

void FrmMain::connectControls()
{
    connect(d->tree, &QTreeView::doubleClicked, this, [this](const QModelIndex &node) {
        if (store::nodeKind(keyOf(node)) == store::NodeKind::Snippet)
            command(cmd::edit)->trigger();
    });
    const auto showForTab = [this] {
        // A screen reader names the view after what it shows.
        d->view->setAccessibleName(d->tabs->tabText(d->tabs->currentIndex()));
        ShowSelectedSnippet();
        about::RepaintControl(d->tabs);
        about::RepaintControl(d->view);
    };
    connect(d->tabs, &QTabBar::tabBarClicked, this, [this, showForTab](int index) {
        if (index >= 0 && index != d->tabs->currentIndex())
            d->tabs->setCurrentIndex(index); // currentChanged shows the other field
        else
            showForTab();
    });
    // The keyboard and the wheel change the tab without a click; the view must follow them too.
    connect(d->tabs, &QTabBar::currentChanged, this, showForTab);
    connect(d->view, &QTextEdit::selectionChanged, this,
            [this] { command(cmd::mnuCopy)->setEnabled(d->view->selLength() >= 1); });
    connect(d->view, &platform::RichTextBox::mouseReleased, this, [this](Qt::MouseButton button, const QPoint &pos) {
        if (button == Qt::RightButton)
            menu(menus::mnuedit)->exec(pos);
    });
    connect(menu(menus::code), &QMenu::aboutToShow, this, [this] { updateCodeMenu(false); });

    // The window's own commands.
    onCommand(cmd::mnuCopy, [](FrmMain &m) {
        QGuiApplication::clipboard()->clear();
        QGuiApplication::clipboard()->setText(m.d->view->selText());
    });
    onCommand(cmd::mnuCopyAll, [](FrmMain &m) {
        QGuiApplication::clipboard()->clear();
        QGuiApplication::clipboard()->setText(m.d->view->text());
    });
    onCommand(cmd::mnuClose, [](FrmMain &m) { m.close(); });
    onCommand(cmd::mnuOpenTree, [](FrmMain &m) { m.SetTreeExpanded(true); });
    onCommand(cmd::mnuCloseTree, [](FrmMain &m) {
        m.SetTreeExpanded(false);
        m.d->tree->expand(m.node(store::RootKey));
        m.d->view->setText(QString());
    });
    onCommand(cmd::smnuhelp, [](FrmMain &m) { m.showHelp(); });
}

void FrmMain::load()
{
    WindowSettings::restore(this);
    d->layout->restoreSplitterPos(WindowSettings::restoredSplit(this), width());
    addRootNode();
    d->view->setNoWrap();
    LoadCategories();
    LoadSnippets();
    UpdateStatusBar();
    layoutControls();
    if (!d->watching) {
        d->watching = true;
        d->refreshLater = new QTimer(this);
        d->refreshLater->setSingleShot(true);
        d->refreshLater->setInterval(300);
        connect(d->refreshLater, &QTimer::timeout, this, &FrmMain::refreshTree);
        connect(&d->library, &store::Library::changedElsewhere, this, &FrmMain::refreshTree);
        d->library.startWatching();
    }
}

store::Library &FrmMain::library() const { return d->library; }
QTreeView *FrmMain::TVCodeHead() const { return d->tree; }
platform::RichTextBox *FrmMain::RTxt1() const { return d->view; }
QTabBar *FrmMain::TS1() const { return d->tabs; }
QProgressBar *FrmMain::ProgressBar1() const { return d->progress; }

// ---- Commands -------------------------------------------------------------------------------

QAction *FrmMain::command(const QString &objectName) const { return d->commands->action(objectName); }
QMenu *FrmMain::menu(const QString &objectName) const { return d->commands->menu(objectName); }
void FrmMain::runToolbarKey(const QString &key) { d->commands->runToolbarKey(key); }

void FrmMain::onCommand(const char *command, CommandHandler handler)
{
    d->commands->handle(command, [this, handler = std::move(handler)] { handler(*this); });
}

QStringList FrmMain::handledCommands() const { return d->commands->handled(); }

void FrmMain::updateCodeMenu(bool popup)
{
    const QModelIndex item = node(selectedKey());
    const bool snippet = store::nodeKind(keyOf(item)) == store::NodeKind::Snippet;
    const bool user = snippet && isUserNode(item);
    QAction *merge = command(cmd::CurUsrCodRmv);
    QAction *mark = command(cmd::CurMrkUsr);
    if (popup) {
        merge->setVisible(user);
        mark->setVisible(snippet && !user);
    }
    // A read-only library keeps them disabled (the window disabled every command that writes).
    const bool writable = !d->library.isReadOnly();
    merge->setEnabled(user && writable);
    mark->setEnabled(snippet && !user && writable);
}

void FrmMain::showCodePopup(const QPoint &globalPos)
{
    QAction *sep = command(cmd::sep);
    QAction *mergeAll = command(cmd::UsrUn);
    sep->setVisible(false);
    mergeAll->setVisible(false);
    updateCodeMenu(true);
    menu(menus::code)->exec(globalPos);
    mergeAll->setVisible(true);
    sep->setVisible(true);
}

// ---- Category tree --------------------------------------------------------------------------

void FrmMain::ClearTree() { d->nodes->clear(); }
QModelIndex FrmMain::addRootNode() { return d->nodes->addRoot(); }
void FrmMain::LoadCategories() { d->nodes->loadCategories(); }
void FrmMain::LoadSnippets() { d->nodes->loadSnippets(); }
void FrmMain::SetTreeExpanded(bool expand) { d->nodes->setExpanded(expand); }

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

void FrmMain::refreshTree()
{
    // A rename in progress would lose its editor, and a dialog's command rebuilds the tree itself.
    if (d->tree->indexWidget(d->tree->currentIndex()) || QApplication::activeModalWidget()) {
        d->refreshLater->start();
        return;
    }
    const QString before = selectedKey();
    if (d->nodes->refresh())
        updateCount();
    const QString key = selectedKey();
    if (key != before) {
        ShowSelectedSnippet();
        return;
    }
    if (store::nodeKind(key) != store::NodeKind::Snippet || key != d->shownKey || codeTabSelected() != d->shownCode)
        return;
    try {
        const auto field = d->library.snippetField(store::nodeId(key),
                                                   d->shownCode ? QStringLiteral("code") : QStringLiteral("Learn"));
        if (!field || *field != d->shownField)
            ShowSelectedSnippet();
    } catch (const store::StoreError &) {
        // the view keeps what it shows; the next change reads again
    }
}

QModelIndex FrmMain::node(const QString &key) const { return d->nodes->node(key); }
QString FrmMain::keyOf(const QModelIndex &node) { return CategoryTree::keyOf(node); }
QString FrmMain::selectedKey() const { return d->nodes->selectedKey(); }
void FrmMain::selectNode(const QString &key) { d->nodes->select(key); }
void FrmMain::removeNode(const QString &key) { d->nodes->remove(key); }
bool FrmMain::isUserNode(const QModelIndex &node) { return CategoryTree::isUserNode(node); }
void FrmMain::setUserNode(const QString &key, bool user) { d->nodes->setUserNode(key, user); }

// ---- Snippet view and status bar ------------------------------------------------------------

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
        field = d->library.snippetField(store::nodeId(key),
                                        codeTabSelected() ? QStringLiteral("code") : QStringLiteral("Learn"));
    } catch (const store::DamagedLibraryError &e) {
        // Neither another snippet's text nor an empty view stands for what could not be read.
        d->view->setText(QString());
        reportDamagedLibrary(this, e.message());
        return;
    } catch (const store::StoreError &) {
        return;
    }
    d->shownKey = key;
    d->shownCode = codeTabSelected();
    d->shownField = field ? *field : QVariant();
    if (field && field->isNull())
        return; // a Null field leaves the view as it was
    try {
        d->colorer->setLanguage(snippetLanguage(store::nodeId(key)));
        d->colorer->show(field ? field->toString() : QString(), codeTabSelected());
    } catch (const std::exception &) {
        // Out of memory on a huge snippet: the view stays empty, as it was cleared.
        d->view->setTextRTF(QString());
        platform::plainMessageBox(this, QStringLiteral("Error coloring text"), QStringLiteral("Tamrisk"));
    }
    about::RepaintControl(d->view);
}

void FrmMain::ColorKeywords(const QString &text, bool codeTab) { d->colorer->color(text, codeTab); }

void FrmMain::setLanguageLookup(LanguageLookup lookup) { d->languageOf = std::move(lookup); }

QString FrmMain::snippetLanguage(qint32 id) const { return d->languageOf ? d->languageOf(id) : highlight::VisualBasic; }

void FrmMain::setViewLanguage(const QString &language) { d->colorer->setLanguage(language); }

void FrmMain::UpdateStatusBar()
{
    d->panels[0]->setText(dateText(QDate::currentDate()));
    // The date is never cut: its panel is at least as wide as the text (twice that where there is
    // room), and the window no narrower than the panels need.
    const int dateWidth = d->panels[0]->sizeHint().width();
    d->panels[0]->setMinimumWidth(dateWidth);
    d->panels[0]->setMaximumWidth(dateWidth * 2);
    statusBar()->removeWidget(d->panels[0]);
    statusBar()->insertWidget(0, d->panels[0], 1);
    d->panels[0]->show();
    updateCount();
    setMinimumWidth(std::max(minimumWidth(), statusBar()->minimumSizeHint().width()));
}

void FrmMain::updateCount()
{
    try {
        d->panels[2]->setText(countText(d->library.snippetCount()));
    } catch (const store::DamagedLibraryError &e) {
        d->panels[2]->setText(e.message().section(u'\n', 0, 0));
        reportDamagedLibrary(this, e.message());
    } catch (const store::StoreError &e) {
        d->panels[2]->setText(e.message());
    }
}

void FrmMain::showProgressOverCountPanel() { d->colorer->showProgress(); }
void FrmMain::hideProgress() { d->colorer->hideProgress(); }

// ---- Layout and events ----------------------------------------------------------------------

int FrmMain::splitterPos() const { return d->layout->splitterPos(); }
void FrmMain::layoutControls() { d->layout->layout(); }

void FrmMain::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    layoutControls();
}

bool FrmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == d->tree) {
        if (event->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
            event->accept(); // the key release below deletes; the window's shortcut must not as well
            return true;
        }
        if (event->type() == QEvent::FocusIn) {
            ShowSelectedSnippet();
        } else if (event->type() == QEvent::KeyRelease && QApplication::focusWidget() == d->tree) {
            auto *ke = static_cast<QKeyEvent *>(event);
            if (!ke->isAutoRepeat()) {
                if (ke->key() == Qt::Key_Delete)
                    command(cmd::del)->trigger();
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

// ---- Shutdown and help ----------------------------------------------------------------------

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
    about::prepareDialog(&dialog);
    dialog.exec();
}

} // namespace browser
