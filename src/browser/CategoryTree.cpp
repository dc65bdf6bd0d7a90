#include "browser/CategoryTree.h"

#include "browser/CategoryModel.h"
#include "browser/DamageReport.h"
#include "messages/ArabicMsgBox.h"
#include "store/NodeKey.h"
#include "store/StoreError.h"
#include "store/TreeColumns.h"

#include <QBrush>
#include <QScrollBar>
#include <QSet>
#include <QTreeView>

namespace browser {

CategoryTree::CategoryTree(store::Library &library, QTreeView *tree)
    : m_library(library)
    , m_tree(tree)
    , m_model(new CategoryModel(library, tree))
{
    tree->setModel(m_model);
    QObject::connect(m_model, &CategoryModel::renameFailed, tree, [tree](const QString &message) {
        messages::showError(tree->window(), QStringLiteral("تعذر حفظ الاسم الجديد: ") + message);
    });
    // The mirrored view repaints only the rows it thinks changed and can leave a highlight behind
    // on a row that lost the selection (seen after expanding by keyboard): the whole visible part
    // is cheap to draw, so it is drawn anew.
    const auto repaint = [tree] { tree->viewport()->update(); };
    QObject::connect(tree, &QTreeView::expanded, tree, repaint);
    QObject::connect(tree, &QTreeView::collapsed, tree, repaint);
    QObject::connect(tree->selectionModel(), &QItemSelectionModel::currentChanged, tree, repaint);
    QObject::connect(tree->selectionModel(), &QItemSelectionModel::selectionChanged, tree, repaint);
}

CategoryTree::~CategoryTree() = default;

void CategoryTree::clear()
{
    m_tree->setUpdatesEnabled(false);
    m_model->clear();
    m_tree->setUpdatesEnabled(true);
}

QModelIndex CategoryTree::addRoot() { return m_model->addRoot(); }

void CategoryTree::loadCategories()
{
    try {
        m_model->loadCategories(store::readTreeCategories(m_library));
    } catch (const store::DamagedLibraryError &e) {
        reportDamagedLibrary(m_tree, e.message());
        return;
    } catch (const store::StoreError &) {
        // the tree shows what it could read
    }
}

void CategoryTree::loadSnippets()
{
    const QModelIndex root = m_model->index(0, 0);
    if (!root.isValid())
        return;
    try {
        m_model->loadSnippets(store::readTreeSnippets(m_library));
    } catch (const store::DamagedLibraryError &e) {
        reportDamagedLibrary(m_tree, e.message());
        return;
    } catch (const store::StoreError &) {
        return;
    }
    m_tree->expand(m_model->index(0, 0));
}

void CategoryTree::setExpanded(bool expand)
{
    m_tree->setUpdatesEnabled(false);
    if (expand)
        m_tree->expandAll();
    else
        m_tree->collapseAll();
    // Scroll to the selected node only where it is still shown: scrolling would open its parents.
    const QModelIndex current = m_tree->currentIndex();
    bool shown = current.isValid();
    for (QModelIndex p = current.parent(); p.isValid() && shown; p = p.parent())
        shown = m_tree->isExpanded(p);
    if (shown)
        m_tree->scrollTo(current);
    m_tree->setUpdatesEnabled(true);
}

bool CategoryTree::refresh()
{
    const QModelIndex root = m_model->index(0, 0);
    if (!root.isValid())
        return false;
    store::TreeCategories categories;
    store::TreeSnippets snippets;
    try {
        categories = store::readTreeCategories(m_library);
        snippets = store::readTreeSnippets(m_library);
    } catch (const store::StoreError &) {
        return false; // what is shown stays; the next change or command reads again
    }
    if (m_model->shows(categories, snippets))
        return false;

    // What the user sees, by key: keys outlive the rows they name.
    const bool rootExpanded = m_tree->isExpanded(root);
    QSet<QString> expanded;
    for (int row = 0; row < m_model->rowCount(root); ++row) {
        const QModelIndex category = m_model->index(row, 0, root);
        if (m_tree->isExpanded(category))
            expanded.insert(keyOf(category));
    }
    const QString current = keyOf(m_tree->currentIndex());
    const QString selected = selectedKey();
    // Where the selection goes if its node is gone: the node after it, the one before, its parent.
    QStringList fallbacks;
    if (const QModelIndex at = node(selected); at.isValid()) {
        const QModelIndex parent = at.parent();
        for (int row : {at.row() + 1, at.row() - 1})
            if (const QModelIndex n = m_model->index(row, 0, parent); n.isValid())
                fallbacks.append(keyOf(n));
        if (parent.isValid())
            fallbacks.append(keyOf(parent));
    }
    fallbacks.append(store::RootKey);
    const QModelIndex top = m_tree->indexAt(QPoint(0, 0));
    const QString topKey = keyOf(top);
    const int vertical = m_tree->verticalScrollBar()->value();
    const int horizontal = m_tree->horizontalScrollBar()->value();

    m_tree->setUpdatesEnabled(false);
    m_model->clear();
    m_model->addRoot();
    m_model->loadCategories(categories);
    m_model->loadSnippets(std::move(snippets));
    const QModelIndex newRoot = m_model->index(0, 0);
    m_tree->setExpanded(newRoot, rootExpanded);
    for (const QString &key : expanded)
        if (const QModelIndex n = node(key); n.isValid())
            m_tree->expand(n);
    QString keep = selected;
    if (!selected.isEmpty() && !node(selected).isValid()) {
        keep.clear();
        for (const QString &key : fallbacks)
            if (node(key).isValid()) {
                keep = key;
                break;
            }
    }
    if (!keep.isEmpty()) {
        const QModelIndex n = node(keep);
        m_tree->selectionModel()->setCurrentIndex(n, QItemSelectionModel::ClearAndSelect);
    } else if (const QModelIndex n = node(current); n.isValid()) {
        m_tree->selectionModel()->setCurrentIndex(n, QItemSelectionModel::NoUpdate);
    }
    if (const QModelIndex n = node(topKey); n.isValid()) {
        m_tree->scrollTo(n, QAbstractItemView::PositionAtTop);
    } else {
        m_tree->verticalScrollBar()->setValue(vertical);
    }
    m_tree->horizontalScrollBar()->setValue(horizontal);
    m_tree->setUpdatesEnabled(true);
    return true;
}

QModelIndex CategoryTree::node(const QString &key) const { return m_model->indexOf(key); }

QString CategoryTree::keyOf(const QModelIndex &index) { return CategoryModel::keyOf(index); }

QString CategoryTree::selectedKey() const
{
    const QModelIndexList selected = m_tree->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? QString() : keyOf(selected.first());
}

void CategoryTree::select(const QString &key)
{
    const QModelIndex index = node(key);
    if (!index.isValid())
        return;
    m_tree->setCurrentIndex(index);
    m_tree->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
    // In the middle, so the node found is seen with what is around it.
    m_tree->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

void CategoryTree::remove(const QString &key) { m_model->remove(key); }

bool CategoryTree::isUserNode(const QModelIndex &index)
{
    const QVariant brush = index.data(Qt::ForegroundRole);
    return brush.isValid() && brush.value<QBrush>().color() == QColor(0, 0, 255);
}

void CategoryTree::setUserNode(const QString &key, bool user) { m_model->setUser(node(key), user); }

} // namespace browser
