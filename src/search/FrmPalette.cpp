#include "search/FrmPalette.h"

#include "export/core/Keywords.h"
#include "highlight/Highlighter.h"
#include "platform/RichTextBox.h"
#include "store/Library.h"
#include "store/StoreError.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace search {

namespace {

constexpr int kSliceMs = 15;
constexpr int kPreviewLines = 12;
constexpr int kPreviewChars = 4000;

QString firstLines(const QString &code)
{
    QString head = code.left(kPreviewChars);
    head.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    qsizetype at = -1;
    for (int line = 0; line < kPreviewLines; ++line) {
        at = head.indexOf(QLatin1Char('\n'), at + 1);
        if (at < 0)
            return head;
    }
    return head.left(at);
}

} // namespace

FrmPalette::FrmPalette(store::Library *library, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_library(library)
{
    setObjectName(QStringLiteral("frmPalette"));
    setLayoutDirection(Qt::RightToLeft);
    setWindowTitle(QStringLiteral("بحث سريع"));
    setAttribute(Qt::WA_ShowWithoutActivating, false);

    auto *layout = new QVBoxLayout(this);
    m_box = new QLineEdit(this);
    m_box->setObjectName(QStringLiteral("txtPaletteSearch"));
    m_box->setPlaceholderText(PalettePlaceholder);
    m_box->setClearButtonEnabled(true);
    m_box->installEventFilter(this);
    QFont bigger = m_box->font();
    bigger.setPointSizeF(bigger.pointSizeF() * 1.3);
    m_box->setFont(bigger);
    layout->addWidget(m_box);

    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("lblPaletteMessage"));
    m_message->setWordWrap(true);
    m_message->hide();
    layout->addWidget(m_message);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("lstPaletteResults"));
    m_list->setColumnCount(2);
    m_list->setHeaderHidden(true);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_list->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_list->setAccessibleName(QStringLiteral("نتائج البحث"));
    layout->addWidget(m_list, 3);

    m_preview = new QPlainTextEdit(this);
    m_preview->setObjectName(QStringLiteral("txtPalettePreview"));
    m_preview->setReadOnly(true);
    m_preview->setFocusPolicy(Qt::NoFocus);
    m_preview->setLayoutDirection(Qt::LeftToRight);
    m_preview->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_preview->setFont(platform::codeFont());
    m_preview->setAccessibleName(QStringLiteral("أول أسطر الكود"));
    layout->addWidget(m_preview, 2);

    m_slices = new QTimer(this);
    m_slices->setInterval(0);
    connect(m_slices, &QTimer::timeout, this, &FrmPalette::searchSlice);
    connect(m_box, &QLineEdit::textChanged, this, &FrmPalette::startSearch);
    connect(m_list, &QTreeWidget::currentItemChanged, this, &FrmPalette::showPreview);
    connect(m_list, &QTreeWidget::itemActivated, this, [this] { copySelected(false); });
    if (m_library)
        connect(m_library, &store::Library::changed, this, [this] {
            m_categoriesRead = false;
            if (isVisible())
                startSearch();
        });
    resize(640, 420);
}

FrmPalette::~FrmPalette() = default;

void FrmPalette::popUp()
{
    QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        resize(std::min(640, area.width() * 9 / 10), std::min(420, area.height() * 8 / 10));
        move(area.center() - rect().center());
    }
    m_wasActive = false;
    m_readyPending = true;
    show();
    raise();
    activateWindow();
    m_box->setFocus(Qt::ActiveWindowFocusReason);
    m_box->selectAll();
    if (isActiveWindow())
        changeEvent(nullptr);
}

void FrmPalette::showMessage(const QString &text)
{
    m_message->setText(text);
    m_message->show();
}

bool FrmPalette::isSearching() const
{
    return m_search != nullptr;
}

QList<qint32> FrmPalette::resultIds() const
{
    QList<qint32> ids;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        ids.append(m_list->topLevelItem(i)->data(0, Qt::UserRole).toInt());
    return ids;
}

void FrmPalette::startSearch()
{
    m_search.reset();
    m_slices->stop();
    const QString word = m_box->text();
    if (word.isEmpty() || !m_library) {
        m_list->clear();
        m_preview->clear();
        return;
    }
    try {
        if (!m_categoriesRead) {
            m_categories = QuickSearch::categoryNames(*m_library);
            m_categoriesRead = true;
        }
        m_search = std::make_unique<QuickSearch>(*m_library, word, m_categories);
    } catch (const platform::Error &e) {
        showMessage(e.message());
        return;
    }
    m_slices->start();
}

void FrmPalette::searchSlice()
{
    if (!m_search)
        return m_slices->stop();
    QList<QuickHit> hits;
    try {
        if (m_search->stepFor(kSliceMs))
            return;
        hits = m_search->results();
    } catch (const platform::Error &e) {
        m_search.reset();
        m_slices->stop();
        showMessage(e.message());
        return;
    }
    m_search.reset();
    m_slices->stop();
    m_message->hide();
    m_list->setUpdatesEnabled(false);
    m_list->clear();
    QList<QTreeWidgetItem *> items;
    items.reserve(hits.size());
    for (const QuickHit &hit : std::as_const(hits)) {
        auto *item = new QTreeWidgetItem({hit.title, hit.category});
        item->setData(0, Qt::UserRole, hit.id);
        item->setToolTip(0, hit.title);
        items.append(item);
    }
    m_list->addTopLevelItems(items);
    m_list->setUpdatesEnabled(true);
    if (!items.isEmpty())
        m_list->setCurrentItem(items.first());
    else
        m_preview->clear();
}

void FrmPalette::showPreview()
{
    const qint32 id = selectedId();
    if (!id || !m_library)
        return m_preview->clear();
    try {
        const std::optional<QVariant> code = m_library->snippetField(id, QStringLiteral("code"));
        const QString lines = code ? firstLines(code->toString()) : QString();
        m_preview->setPlainText(lines);
        colour(lines, m_library->snippetLanguage(id));
    } catch (const platform::Error &e) {
        showMessage(e.message());
    }
}

// The first lines coloured as the view colours the whole snippet: by its language's grammar, or
// Visual Basic's keywords.
void FrmPalette::colour(const QString &lines, const QString &language)
{
    QTextCursor cursor(m_preview->document());
    const auto paint = [&](qsizetype start, qsizetype length, unsigned rgb) {
        cursor.setPosition(int(start));
        cursor.setPosition(int(start + length), QTextCursor::KeepAnchor);
        QTextCharFormat format;
        format.setForeground(QColor::fromRgb(QRgb(rgb)));
        cursor.mergeCharFormat(format);
    };
    if (language == highlight::VisualBasic) {
        exporting::core::forEachKeyword(lines, [&](qsizetype start, qsizetype length) {
            paint(start, length, exporting::core::KeywordRgb);
        });
        return;
    }
    for (const highlight::Span &span : highlight::highlightText(language, lines))
        paint(span.start, span.length, highlight::colourOf(span.style));
}

qint32 FrmPalette::selectedId() const
{
    const QTreeWidgetItem *item = m_list->currentItem();
    return item ? item->data(0, Qt::UserRole).toInt() : 0;
}

void FrmPalette::copySelected(bool comment)
{
    const qint32 id = selectedId();
    if (!id || !m_library)
        return;
    try {
        const std::optional<QVariant> text =
            m_library->snippetField(id, comment ? QStringLiteral("Learn") : QStringLiteral("code"));
        if (!text) {
            showMessage(QStringLiteral("لم يعد هذا الكود في المكتبة، فقد حُذف."));
            return startSearch();
        }
        QGuiApplication::clipboard()->setText(text->toString());
    } catch (const platform::Error &e) {
        return showMessage(e.message());
    }
    close();
}

void FrmPalette::openSelected()
{
    if (const qint32 id = selectedId()) {
        close();
        emit openRequested(id);
    }
}

void FrmPalette::moveSelection(int by)
{
    const int count = m_list->topLevelItemCount();
    if (!count)
        return;
    const int current = m_list->currentItem() ? m_list->indexOfTopLevelItem(m_list->currentItem()) : -1;
    m_list->setCurrentItem(m_list->topLevelItem(std::clamp(current + by, 0, count - 1)));
}

bool FrmPalette::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_box && event->type() == QEvent::FocusIn && m_readyPending && isActiveWindow()) {
        m_readyPending = false;
        QTimer::singleShot(0, this, &FrmPalette::ready);
    }
    if (watched == m_box && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
        switch (key->key()) {
        case Qt::Key_Escape:
            close();
            return true;
        case Qt::Key_Up:
            moveSelection(-1);
            return true;
        case Qt::Key_Down:
            moveSelection(1);
            return true;
        case Qt::Key_PageUp:
            moveSelection(-10);
            return true;
        case Qt::Key_PageDown:
            moveSelection(10);
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (mods == Qt::ControlModifier)
                openSelected();
            else
                copySelected(mods == Qt::ShiftModifier);
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FrmPalette::changeEvent(QEvent *event)
{
    if (event)
        QWidget::changeEvent(event);
    if (event && event->type() != QEvent::ActivationChange)
        return;
    if (isActiveWindow()) {
        m_wasActive = true;
        if (m_readyPending && m_box->hasFocus()) {
            m_readyPending = false;
            QTimer::singleShot(0, this, &FrmPalette::ready);
        }
    } else if (m_wasActive && isVisible()) {
        // Like a menu: clicking elsewhere dismisses it; unless it has come back (or was shown
        // again) by the time this runs.
        QTimer::singleShot(0, this, [this] {
            if (isVisible() && !isActiveWindow())
                close();
        });
    }
}

void FrmPalette::closeEvent(QCloseEvent *event)
{
    m_search.reset();
    m_slices->stop();
    QWidget::closeEvent(event);
    emit closed();
}

void FrmPalette::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_wasActive = false; // until it is shown and active again

}

} // namespace search
