#pragma once
// The management tree as the windows show it: a read-only Qt model over the core's plain
// tree. The core rebuilds the tree; the model is reset around every rebuild.
#include <QAbstractItemModel>
#include <QIcon>
#include <QList>

#include "store/tree.h"

namespace unitarc::ui {

class ResourceTreeModel : public QAbstractItemModel {
    Q_OBJECT

public:
    // Roles beside the text and the image: the node record's fields.
    enum Role { KeyRole = Qt::UserRole + 1, KindRole, FileTagRole, ImageIndexRole };

    explicit ResourceTreeModel(QObject* parent = nullptr);

    // The image list the nodes' image indexes point into; an index outside it shows none.
    void setImages(QList<QIcon> images) { m_images = std::move(images); }
    const QList<QIcon>& images() const { return m_images; }

    const store::Tree& tree() const { return m_tree; }
    // Takes over a tree the core built. The tree in view is never the one being built:
    // views may paint while the core works (the busy window lets events through).
    void setTree(store::Tree&& tree);
    void clear() { setTree(store::Tree()); }

    store::TreeNode* node(const QModelIndex& index) const;
    QModelIndex indexOf(const store::TreeNode* node) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    store::Tree m_tree;
    QList<QIcon> m_images;
};

}  // namespace unitarc::ui
