#include "datagrid.h"

#include "store/format.h"

#include <QHeaderView>

namespace tolva {

DatasetModel::DatasetModel(QObject *parent) : QAbstractTableModel(parent) {}

void DatasetModel::setDataset(Dataset *dataset)
{
    beginResetModel();
    for (const auto &c : connections_)
        disconnect(c);
    connections_.clear();
    dataset_ = dataset;
    if (dataset_) {
        connections_ << connect(dataset_, &Dataset::aboutToReset, this, [this] { beginResetModel(); });
        connections_ << connect(dataset_, &Dataset::reset, this, [this] {
            mapFields();
            endResetModel();
        });
        connections_ << connect(dataset_, &Dataset::rowChanged, this, [this](int row) {
            if (row >= 0 && row < rowCount() && columnCount() > 0)
                Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1));
        });
        connections_ << connect(dataset_, &QObject::destroyed, this, [this] { setDataset(nullptr); });
    }
    mapFields();
    endResetModel();
}

void DatasetModel::setColumns(const QList<GridColumn> &columns)
{
    beginResetModel();
    columns_ = columns;
    mapFields();
    endResetModel();
}

void DatasetModel::setRowColour(std::function<QColor(const Dataset &, int)> rule)
{
    rowColour_ = std::move(rule);
    if (rowCount() > 0 && columnCount() > 0)
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::BackgroundRole});
}

void DatasetModel::mapFields()
{
    fields_.clear();
    for (const GridColumn &c : columns_)
        fields_ << (dataset_ ? dataset_->fieldIndex(c.field) : -1);
}

int DatasetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !dataset_ ? 0 : dataset_->rowCount();
}

int DatasetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(columns_.size());
}

QString DatasetModel::text(int row, int column) const
{
    if (!dataset_ || column < 0 || column >= columns_.size())
        return QString();
    const QVariant v = dataset_->valueAt(row, fields_[column]);
    if (v.isNull())
        return QString();
    const QString &pattern = columns_[column].format;
    if (v.typeId() == QMetaType::QDate)
        return format::date(v.toDate(), pattern.isEmpty() ? QStringLiteral("yyyy-mm-dd") : pattern);
    if (!pattern.isEmpty() && (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Int ||
                               v.typeId() == QMetaType::LongLong))
        return format::number(v.toDouble(), pattern);
    if (v.typeId() == QMetaType::Double)
        return QString::number(v.toDouble(), 'g', 15);
    return v.toString();
}

QVariant DatasetModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !dataset_ || index.row() >= rowCount() || index.column() >= columnCount())
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return text(index.row(), index.column());
    case Qt::TextAlignmentRole: {
        // A column aligned only across is centred down its row, as every other column is.
        Qt::Alignment a = columns_[index.column()].alignment;
        if (!(a & Qt::AlignVertical_Mask))
            a |= Qt::AlignVCenter;
        return QVariant::fromValue(a);
    }
    case Qt::BackgroundRole:
        if (rowColour_) {
            const QColor c = rowColour_(*dataset_, index.row());
            if (c.isValid())
                return c;
        }
        return QVariant();
    default:
        return QVariant();
    }
}

QVariant DatasetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columns_.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return columns_[section].title;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    if (role == Qt::ForegroundRole && titleColour_.isValid())
        return titleColour_;
    return QVariant();
}

Qt::ItemFlags DatasetModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

DataGrid::DataGrid(QWidget *parent) : QTableView(parent), model_(new DatasetModel(this))
{
    setModel(model_);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    QPalette p = palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Highlight, colours::selected());
        p.setColor(group, QPalette::HighlightedText, Qt::black);
    }
    setPalette(p);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex &current) {
        Dataset *ds = model_->dataset();
        if (syncing_ || !ds || !current.isValid() || current.row() == ds->currentRow())
            return;
        syncing_ = true;
        ds->moveTo(current.row());
        syncing_ = false;
    });
}

void DataGrid::setDataset(Dataset *dataset)
{
    disconnect(currentConnection_);
    model_->setDataset(dataset);
    if (dataset) {
        currentConnection_ = connect(dataset, &Dataset::currentChanged, this, [this] { followDataset(); });
        connect(model_, &QAbstractItemModel::modelReset, this, &DataGrid::followDataset, Qt::UniqueConnection);
    }
    followDataset();
}

void DataGrid::setColumns(const QList<GridColumn> &columns)
{
    model_->setColumns(columns);
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].width > 0)
            setColumnWidth(i, columns[i].width);
}

void DataGrid::followDataset()
{
    Dataset *ds = model_->dataset();
    if (syncing_ || !ds || ds->currentRow() < 0 || model_->columnCount() == 0)
        return;
    syncing_ = true;
    const int column = currentIndex().isValid() ? currentIndex().column() : 0;
    setCurrentIndex(model_->index(ds->currentRow(), column));
    syncing_ = false;
}

} // namespace tolva
