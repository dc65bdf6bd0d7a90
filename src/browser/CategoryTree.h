#pragma once
// The category tree's view and nodes: the root, the categories under it and the snippets under
// those, loaded from the library, sorted by title, found by key ("M1", "K<id>", "T<id>"), and
// renamed in place, which writes the new title to the library.
#include <QModelIndex>
#include <QString>

class QTreeView;

namespace store {
class Library;
}

namespace browser {

class CategoryModel;

class CategoryTree
{
public:
    CategoryTree(store::Library &library, QTreeView *tree);
    ~CategoryTree();

    void clear();
    QModelIndex addRoot();
    void loadCategories();
    void loadSnippets();
    void setExpanded(bool expand);
    // Reads the library again and shows it in place: the same nodes stay expanded, selected and
    // scrolled to. A selected node that is gone gives way to its neighbour, else its category,
    // else the root. Returns whether anything shown changed; nothing is read into a tree emptied
    // for a dialog (its command fills it afterwards).
    bool refresh();

    QModelIndex node(const QString &key) const; // invalid when there is no such node
    static QString keyOf(const QModelIndex &index);
    QString selectedKey() const; // empty when nothing is selected
    void select(const QString &key);
    void remove(const QString &key);
    static bool isUserNode(const QModelIndex &index); // drawn pure blue
    void setUserNode(const QString &key, bool user);

private:
    store::Library &m_library;
    QTreeView *m_tree;
    CategoryModel *m_model;
};

} // namespace browser
