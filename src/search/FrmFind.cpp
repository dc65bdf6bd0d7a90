#include "search/FrmFind.h"

#include "about/Effects.h"
#include "browser/FrmMain.h"
#include "browser/WindowSettings.h"
#include "messages/ArabicMsgBox.h"
#include "platform/Digits.h"
#include "platform/Guarded.h"
#include "platform/MessageBox.h"
#include "platform/Settings.h"
#include "platform/Text.h"
#include "search/FoundWords.h"
#include "search/core/SnippetSearch.h"
#include "platform/Twips.h"
#include "store/Library.h"
#include "store/NodeKey.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QTabBar>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace search {

namespace {

const QString kResultCaption = QStringLiteral("نتيجة البحث:");
const QString kItems = QStringLiteral("عنصر/عناصر");
const QString kEmptyWord = QStringLiteral("يجب أن تكتب الكلمة التي تبحث عنها في مربع كلمة البحث قبل")
                           + QStringLiteral("\r\n") + QStringLiteral(" بدء عملية البحث...");
const QString kGone = QStringLiteral("لم يعد هذا الكود موجوداً في المكتبة، فقد حُذف بعد البحث.");
const QString kSearchFailed = QStringLiteral("تعذر إتمام البحث: ");
const QString kChooseField = QStringLiteral("اختر مكاناً واحداً على الأقل للبحث فيه.");

// One slice of the scan stays well below what a user notices as a stall.
constexpr int kSliceMs = 30;
// The index has narrowed the rows to read, so its answer usually fills the list in one go
// (one insertion, one layout); a word in most rows still comes in slices this long.
constexpr int kIndexSliceMs = 250;

QPointer<FrmFind> g_instance;

const QString kSettingsSection = QStringLiteral("frmFind");
const QString kArabicKey = QStringLiteral("ArabicMatching");

// Widths survive the dialog, so only the first search of a session measures every title.
// The measuring goes on between events after the list is filled, never before it; the list's
// extent follows when it is done. Meanwhile the longest titles of the results set it.
constexpr int kProvisionalTitles = 32;
constexpr int kTitlesAtOnce = 256;
// Result lines the list shows at the dialog's opening size.
constexpr int kResultLines = 8;

// Kept with the library, so they go with it.
class TitleWidthsCache : public QObject
{
public:
    using QObject::QObject;
    std::shared_ptr<TitleWidths> widths;
};

std::shared_ptr<TitleWidths> titleWidths(store::Library &library, const QFont &font)
{
    // Found by name: without its own meta-object findChild would take any child for it.
    const QString name = QStringLiteral("titleWidthsCache");
    auto *cache = dynamic_cast<TitleWidthsCache *>(library.findChild<QObject *>(name, Qt::FindDirectChildrenOnly));
    if (!cache) {
        cache = new TitleWidthsCache(&library);
        cache->setObjectName(name);
    }
    if (!cache->widths || cache->widths->font() != font)
        cache->widths = std::make_shared<TitleWidths>(library, font);
    return cache->widths;
}

} // namespace

QString resultCaption(qsizetype count)
{
    const QString number = count < 0 ? QString::number(count) : QLatin1Char(' ') + QString::number(count);
    return kResultCaption + platform::localDigits(number) + kItems;
}

FrmFind *FrmFind::instance() { return g_instance.data(); }

FrmFind *FrmFind::open(browser::FrmMain *main)
{
    if (!g_instance)
        g_instance = new FrmFind(main);
    g_instance->show();
    g_instance->raise();
    g_instance->activateWindow();
    return g_instance.data();
}

FrmFind::FrmFind(browser::FrmMain *main)
    : QDialog(nullptr)
    , m_main(main)
{
    setObjectName(QStringLiteral("frmFind"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("بحث"));
    setModal(false);

    m_label1 = new QLabel(QStringLiteral("كلمة البحث:"), this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_txtFind = new QLineEdit(this);
    m_txtFind->setObjectName(QStringLiteral("TxtFind"));
    m_txtFind->setAccessibleName(m_label1->text());
    m_label1->setBuddy(m_txtFind);

    m_frame1 = new QGroupBox(QStringLiteral("البحث في:"), this);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    m_frame1->setAccessibleName(m_frame1->title());
    m_chCaption = new QCheckBox(QStringLiteral("عناوين الأكواد"), m_frame1);
    m_chCaption->setObjectName(QStringLiteral("ChCaption"));
    m_chCode = new QCheckBox(QStringLiteral("الأكواد"), m_frame1);
    m_chCode->setObjectName(QStringLiteral("ChCode"));
    m_chLearn = new QCheckBox(QStringLiteral("الشرح"), m_frame1);
    m_chLearn->setObjectName(QStringLiteral("ChLearn"));
    auto *boxes = new QGridLayout(m_frame1);
    int row = 0;
    for (QCheckBox *box : {m_chCaption, m_chCode, m_chLearn}) {
        box->setChecked(false);
        box->setAccessibleName(box->text());
        boxes->addWidget(box, row++, 0);
    }
    // With every box unchecked a search finds nothing; say so beside the boxes, before the user
    // wonders why.
    m_lblHint = new QLabel(kChooseField, m_frame1);
    m_lblHint->setObjectName(QStringLiteral("lblHint"));
    m_lblHint->setWordWrap(true);
    m_lblHint->setForegroundRole(QPalette::Link);
    boxes->addWidget(m_lblHint, 0, 1, 3, 1);
    boxes->setColumnStretch(1, 1);
    // Keeps the boxes where they are when the hint goes.
    QSizePolicy keepPlace = m_lblHint->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    m_lblHint->setSizePolicy(keepPlace);
    for (QCheckBox *box : {m_chCaption, m_chCode, m_chLearn})
        connect(box, &QCheckBox::toggled, this, &FrmFind::updateHint);

    m_chkArabic = new QCheckBox(QStringLiteral("مطابقة عربية مرنة"), this);
    m_chkArabic->setObjectName(QStringLiteral("chkArabic"));
    m_chkArabic->setToolTip(QStringLiteral("تجاهل التشكيل والتطويل وصور الألف"));
    m_chkArabic->setAccessibleName(m_chkArabic->text());
    m_chkArabic->setChecked(
        platform::getSetting(browser::WindowSettings::appName(), kSettingsSection, kArabicKey, QStringLiteral("1"))
        != QLatin1String("0"));
    connect(m_chkArabic, &QCheckBox::toggled, this, [](bool on) {
        platform::saveSetting(browser::WindowSettings::appName(), kSettingsSection, kArabicKey,
                              on ? QStringLiteral("1") : QStringLiteral("0"));
    });

    m_label2 = new QLabel(kResultCaption, this);
    m_label2->setObjectName(QStringLiteral("Label2"));
    m_lstFind = new QListWidget(this);
    m_lstFind->setObjectName(QStringLiteral("LstFind"));
    m_lstFind->setAccessibleName(kResultCaption);
    m_lstFind->setSortingEnabled(false);
    m_lstFind->setSelectionMode(QAbstractItemView::SingleSelection);
    // Lines of one size keep long result lists quick; the size is taken from the last line.
    m_lstFind->setUniformItemSizes(true);
    m_lstFind->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_label2->setBuddy(m_lstFind);

    m_cmdFind = new QPushButton(QStringLiteral("بحث"), this);
    m_cmdFind->setObjectName(QStringLiteral("CmdFind"));
    m_cmdFind->setAccessibleName(m_cmdFind->text());
    m_cmdFind->setDefault(true);
    m_cmdFind->setAutoDefault(true);
    m_cmdClose = new QPushButton(QStringLiteral("إغلاق"), this);
    m_cmdClose->setObjectName(QStringLiteral("CmdClose"));
    m_cmdClose->setAccessibleName(m_cmdClose->text());
    m_cmdClose->setAutoDefault(false);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_label1);
    layout->addWidget(m_txtFind);
    layout->addWidget(m_frame1);
    layout->addWidget(m_chkArabic);
    layout->addWidget(m_label2);
    layout->addWidget(m_lstFind, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_cmdFind);
    buttons->addWidget(m_cmdClose);
    layout->addLayout(buttons);

    // Opens at its designed size unless the controls need more; a larger window gives the extra
    // room to the result list. The designed 4725 twips showed two and a half lines of results:
    // the list asks for eight, with room for its horizontal scroll bar, and the dialog grows to it.
    m_lstFind->addItem(QStringLiteral("x"));
    const int line = m_lstFind->sizeHintForRow(0);
    m_lstFind->clear();
    m_lstFind->setMinimumHeight(line * kResultLines + 2 * m_lstFind->frameWidth()
                                + m_lstFind->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_lstFind));
    resize(platform::twipsSize(3735, 4725).expandedTo(layout->minimumSize()));
    setSizeGripEnabled(true);

    m_slices = new QTimer(this);
    m_slices->setSingleShot(true);
    m_slices->setInterval(0);
    // The window lives on its own, outside any command: what its work throws ends here, not in the
    // event loop. The store's failures are met inside, where the list is put right.
    const auto guarded = [this](void (FrmFind::*slot)()) {
        return [this, slot] { platform::runGuarded(this, [this, slot] { (this->*slot)(); }); };
    };
    connect(m_slices, &QTimer::timeout, this, guarded(&FrmFind::searchSlice));
    m_measuring = new QTimer(this);
    m_measuring->setSingleShot(true);
    m_measuring->setInterval(0);
    connect(m_measuring, &QTimer::timeout, this, guarded(&FrmFind::measureSlice));
    connect(m_cmdFind, &QPushButton::clicked, this, guarded(&FrmFind::CmdFind_Click));
    connect(m_cmdClose, &QPushButton::clicked, this, &FrmFind::CmdClose_Click);
    connect(m_lstFind, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
        platform::runGuarded(this, [&] { LstFind_Click(m_lstFind->row(item)); });
    });
    // Return on a line goes to it, as a click does, instead of searching again.
    m_lstFind->installEventFilter(this);
    updateHint();

    about::prepareDialog(this);
    about::MakeTopmost(this);
}

FrmFind::~FrmFind() = default;

bool FrmFind::isSearching() const { return m_search != nullptr; }

bool FrmFind::isMeasuringTitles() const { return m_measuring->isActive(); }

void FrmFind::CmdFind_Click()
{
    const QString word = m_txtFind->text(); // as typed: blanks are searched for as blanks
    if (word.isEmpty()) {
        messages::ArabicMsgBox(this, kEmptyWord, messages::ErrorTitle, platform::mb::OkOnly, platform::mb::Critical);
        return;
    }
    m_measuring->stop();
    m_lstFind->clear();
    m_resultKeys.clear();
    setExtent(0);
    // The last search's marks go with its results.
    if (m_main)
        FoundWords::of(m_main)->follow(QString(), QString(), false);
    SearchFields fields;
    fields.caption = m_chCaption->isChecked();
    fields.code = m_chCode->isChecked();
    fields.learn = m_chLearn->isChecked();
    setCursor(Qt::BusyCursor); // the list fills while the table is read
    SearchOptions options;
    options.arabic = m_chkArabic->isChecked();
    m_foundWord = word;
    m_foundArabic = options.arabic;
    m_widths = titleWidths(m_main->library(), m_lstFind->font());
    m_search = std::make_unique<SnippetSearch>(m_main->library(), word, fields, m_widths, options);
    try {
        m_search->begin();
    } catch (const store::StoreError &) {
        // the first slice meets it again and reports it
    }
    searchSlice();
}

void FrmFind::searchSlice()
{
    if (!m_search)
        return;
    bool more = false;
    try {
        more = m_search->stepFor(m_search->usedIndex() ? kIndexSliceMs : kSliceMs);
    } catch (const store::StoreError &error) {
        // A half-read table would pass for a complete answer: show nothing rather than part.
        m_search.reset();
        unsetCursor();
        m_lstFind->clear();
        m_resultKeys.clear();
        setExtent(0);
        m_label2->setText(kResultCaption);
        emit searchFinished();
        messages::showError(this, kSearchFailed + error.message());
        return;
    }
    const QList<SearchHit> &hits = m_search->hits();
    // One insertion per slice: the list lays itself out once, not once per line.
    QStringList titles;
    titles.reserve(hits.size() - m_search->newHitsFrom());
    for (qsizetype i = m_search->newHitsFrom(); i < hits.size(); ++i) {
        titles.append(platform::withVisibleBidiControls(hits[i].title));
        m_resultKeys.append(hits[i].key());
    }
    if (!titles.isEmpty())
        m_lstFind->addItems(titles);
    if (more)
        m_slices->start();
    else
        finishSearch();
}

void FrmFind::finishSearch()
{
    int widest = m_search->widestTitle();
    if (m_lstFind->count() > 0 && widest < 0) {
        // A small table is measured at once; a large one only begins here.
        try {
            if (m_widths->measureFor(0, kTitlesAtOnce))
                widest = m_widths->knownWidest().value_or(-1);
        } catch (const store::StoreError &) {
            // measured again later
        }
    }
    if (m_lstFind->count() > 0 && widest < 0) {
        // Until the whole table is measured, the longest titles found set how far the list scrolls.
        QList<const QString *> longest;
        for (const SearchHit &hit : m_search->hits())
            longest.append(&hit.title);
        const qsizetype n = qMin<qsizetype>(longest.size(), kProvisionalTitles);
        std::partial_sort(longest.begin(), longest.begin() + n, longest.end(),
                          [](const QString *a, const QString *b) { return a->size() > b->size(); });
        widest = 0;
        for (qsizetype i = 0; i < n; ++i)
            widest = qMax(widest, m_widths->width(*longest[i]));
        m_measuring->start();
    }
    setExtent(m_lstFind->count() > 0 ? widest : 0);
    m_label2->setText(resultCaption(m_lstFind->count()));
    m_search.reset();
    unsetCursor();
    emit searchFinished();
}

void FrmFind::measureSlice()
{
    std::optional<int> known;
    try {
        if (!m_widths->measureFor(kSliceMs)) {
            m_measuring->start();
            return;
        }
        known = m_widths->knownWidest();
    } catch (const store::StoreError &) {
        return; // the lines keep their provisional extent
    }
    if (known && !m_search && m_lstFind->count() > 0)
        setExtent(*known);
}

void FrmFind::setExtent(int pixels)
{
    m_extent = pixels;
    if (m_lstFind->count() == 0)
        return;
    const int last = m_lstFind->count() - 1;
    const int margins = 2 * (m_lstFind->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_lstFind) + 1);
    // Every line is as wide as the extent, so the list scrolls that far and no title is cut.
    m_lstFind->item(last)->setSizeHint(QSize(pixels + margins, m_lstFind->sizeHintForRow(last)));
    m_lstFind->doItemsLayout();
}

void FrmFind::LstFind_Click(int line)
{
    if (line < 0 || line >= m_resultKeys.size() || !m_main)
        return;
    const QString key = m_resultKeys.at(line);
    if (!m_main->node(key).isValid()) {
        messages::showError(this, kGone);
        return;
    }
    QTreeView *tree = m_main->TVCodeHead();
    showTabWithWord(key);
    const bool treeHadFocus = tree->hasFocus();
    FoundWords::of(m_main)->follow(key, m_foundWord, m_foundArabic);
    m_main->selectNode(key);
    m_main->activateWindow();
    tree->setFocus(Qt::OtherFocusReason);
    // The tree shows the snippet when it gains the focus; when it already had it, show it here.
    if (treeHadFocus)
        m_main->ShowSelectedSnippet();
}

void FrmFind::showTabWithWord(const QString &key)
{
    // The field where the word is: the code when it has it, else the comment (a hit found only
    // there would otherwise open on a code without it). A hit in the title keeps the tab shown.
    std::optional<store::Snippet> row;
    try {
        row = m_main->library().snippet(store::nodeId(key));
    } catch (const store::StoreError &) {
        return; // the tree's own showing reports it
    }
    if (!row)
        return;
    const auto has = [&](const QVariant &field) {
        return !field.isNull() && !wordMatches(field.toString(), m_foundWord, m_foundArabic).isEmpty();
    };
    if (has(row->code))
        m_main->TS1()->setCurrentIndex(0);
    else if (has(row->learn))
        m_main->TS1()->setCurrentIndex(1);
}

void FrmFind::updateHint()
{
    m_lblHint->setVisible(!m_chCaption->isChecked() && !m_chCode->isChecked() && !m_chLearn->isChecked());
}

bool FrmFind::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_lstFind && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            platform::runGuarded(this, [this] { LstFind_Click(m_lstFind->currentRow()); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void FrmFind::CmdClose_Click() { close(); }

void FrmFind::reject() { close(); }

void FrmFind::closeEvent(QCloseEvent *event)
{
    m_slices->stop();
    m_measuring->stop();
    m_search.reset();
    event->accept();
    if (g_instance == this)
        g_instance = nullptr;
    if (m_main)
        about::RepaintControl(m_main->TS1());
}

} // namespace search
