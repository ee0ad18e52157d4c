#include "ui/resourcetreemodel.h"

namespace unitarc::ui {

ResourceTreeModel::ResourceTreeModel(QObject* parent) : QAbstractItemModel(parent) {}

void ResourceTreeModel::setTree(store::Tree&& tree) {
    beginResetModel();
    m_tree = std::move(tree);
    endResetModel();
}

store::TreeNode* ResourceTreeModel::node(const QModelIndex& index) const {
    return index.isValid() ? static_cast<store::TreeNode*>(index.internalPointer()) : nullptr;
}

QModelIndex ResourceTreeModel::indexOf(const store::TreeNode* node) const {
    if (!node) return {};
    return createIndex(node->index(), 0, const_cast<store::TreeNode*>(node));
}

QModelIndex ResourceTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column != 0) return {};
    if (const store::TreeNode* p = node(parent)) {
        if (static_cast<std::size_t>(row) >= p->children().size()) return {};
        return createIndex(row, 0, p->children()[static_cast<std::size_t>(row)].get());
    }
    if (parent.isValid() || static_cast<std::size_t>(row) >= m_tree.roots.size()) return {};
    return createIndex(row, 0, m_tree.roots[static_cast<std::size_t>(row)].get());
}

QModelIndex ResourceTreeModel::parent(const QModelIndex& child) const {
    const store::TreeNode* n = node(child);
    return n ? indexOf(n->parent()) : QModelIndex();
}

int ResourceTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0) return 0;
    if (const store::TreeNode* p = node(parent)) return static_cast<int>(p->children().size());
    return parent.isValid() ? 0 : static_cast<int>(m_tree.roots.size());
}

int ResourceTreeModel::columnCount(const QModelIndex&) const { return 1; }

QVariant ResourceTreeModel::data(const QModelIndex& index, int role) const {
    const store::TreeNode* n = node(index);
    if (!n) return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return QString::fromStdString(n->text);
    case Qt::DecorationRole:
        return n->image >= 0 && n->image < m_images.size() ? QVariant(m_images[n->image]) : QVariant();
    case ImageIndexRole:
        return n->image;
    case KeyRole:
        return n->record ? QVariant(QString::fromStdString(n->record->key)) : QVariant();
    case KindRole:
        return n->record ? QVariant(n->record->kind) : QVariant();
    case FileTagRole:
        return n->record ? QVariant(n->record->fileTag) : QVariant();
    default:
        return {};
    }
}

Qt::ItemFlags ResourceTreeModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

}  // namespace unitarc::ui
