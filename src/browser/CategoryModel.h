#pragma once
// The category tree's rows over the store's columns: the root, the categories under it and the
// snippets under those. Rows exist only as indexes into flat arrays, so the view asks for what it
// shows and a million snippets cost no per-row objects; a category's snippets are sorted the first
// time anything looks at them.
#include "store/TreeColumns.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QIcon>
#include <vector>

namespace store {
class Library;
}

namespace browser {

class CategoryModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    static constexpr int KeyRole = Qt::UserRole; // the node's key, "M1", "K<id>", "T<id>"

    // Renames in place are written to library.
    explicit CategoryModel(store::Library &library, QObject *parent = nullptr);

    void clear();
    QModelIndex addRoot();
    // Categories in table order; loadSnippets sorts them.
    void loadCategories(const store::TreeCategories &categories);
    // Every snippet under its category, those without one under the uncategorised node.
    void loadSnippets(store::TreeSnippets snippets);

    // Whether the model shows exactly these rows, as loaded and not changed in place since.
    bool shows(const store::TreeCategories &categories, const store::TreeSnippets &snippets) const;

    QModelIndex indexOf(const QString &key) const; // invalid when there is no such node
    static QString keyOf(const QModelIndex &index);
    void remove(const QString &key);
    void setUser(const QModelIndex &index, bool user);

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    // The library refused a rename; the node keeps its old text.
    void renameFailed(const QString &message);

private:
    store::Library &m_library;
    struct CategoryRow {
        qint32 id = 0;
        QString text;
        bool orphans = false; // the uncategorised node: no row of Groub behind it
        std::vector<qint32> children; // snippet positions
        bool sorted = false;
    };

    void sortChildren(CategoryRow &category) const;
    QString head(qint32 snippet) const;
    qint32 snippetPosition(qint32 id) const; // -1 when not shown
    QModelIndex categoryIndex(qint32 category) const;

    bool m_hasRoot = false;
    bool m_changedInPlace = false; // a node removed, renamed or recoloured since the load
    store::TreeCategories m_loaded;
    QString m_rootText;
    mutable std::vector<CategoryRow> m_categories;
    std::vector<qint32> m_order; // the root's rows: category positions
    std::vector<qint32> m_rowOfCategory; // category position -> row under the root, -1 when removed
    QHash<qint32, qint32> m_categoryById;
    store::TreeSnippets m_snippets;
    std::vector<qint32> m_categoryOf; // snippet position -> category position, -1 when removed
    mutable std::vector<qint32> m_byId; // snippet positions in id order, made by the first lookup
    QHash<qint32, QString> m_renamed; // snippet position -> title renamed in place
    QIcon m_rootImage, m_categoryImage, m_snippetImage;
};

} // namespace browser
