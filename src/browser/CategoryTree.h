#pragma once
// The category tree's nodes: the root, the categories under it and the snippets under those,
// loaded from the library, sorted by title, found by key ("M1", "G<id>", "T<id>"), and renamed
// in place, which writes the new title to the library.
#include <QHash>
#include <QString>

class QTreeWidget;
class QTreeWidgetItem;

namespace browser {

class CategoryTree
{
public:
    explicit CategoryTree(QTreeWidget *tree);

    void clear();
    QTreeWidgetItem *addRoot();
    void loadCategories();
    void loadSnippets();
    void setExpanded(bool expand);

    QTreeWidgetItem *node(const QString &key) const;
    static QString keyOf(const QTreeWidgetItem *item);
    QString selectedKey() const; // empty when nothing is selected
    void select(const QString &key);
    void remove(const QString &key);
    static bool isUserNode(const QTreeWidgetItem *item); // drawn pure blue
    static void setUserNode(QTreeWidgetItem *item, bool user);

private:
    void renamed(QTreeWidgetItem *item);

    QTreeWidget *m_tree;
    QHash<QString, QTreeWidgetItem *> m_nodes;
    bool m_loading = false; // items change while loading without being renamed
};

} // namespace browser
