#pragma once

#include "store/dataset.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QTableView>

#include <functional>

namespace tolva {

// A column of a grid: the dataset's field, its title, display pattern and alignment.
struct GridColumn {
    QString field;
    QString title;
    QString format;              // number or date pattern; empty for the default rendering
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    int width = 0;               // pixels; 0 leaves it to the view
};

// The colours of computed-result grids.
namespace colours {
inline QColor aqua() { return QColor(0, 255, 255); }
inline QColor paleGreen() { return QColor(192, 220, 192); }
inline QColor selected() { return QColor(255, 255, 0); }
} // namespace colours

// A read-only table model over a Dataset: one row per row, the columns given, values rendered by
// their display patterns, row colours by a rule the screen supplies.
class DatasetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DatasetModel(QObject *parent = nullptr);
    // Follows `dataset` (nullptr detaches, as while a report is prepared).
    void setDataset(Dataset *dataset);
    Dataset *dataset() const { return dataset_; }
    void setColumns(const QList<GridColumn> &columns);
    const QList<GridColumn> &columns() const { return columns_; }
    // The background of a row; an invalid colour leaves the view's own.
    void setRowColour(std::function<QColor(const Dataset &, int row)> rule);
    void setTitleColour(const QColor &colour) { titleColour_ = colour; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The text a cell shows.
    QString text(int row, int column) const;

private:
    Dataset *dataset_ = nullptr;
    QList<GridColumn> columns_;
    QList<int> fields_; // field index of each column in the dataset
    std::function<QColor(const Dataset &, int)> rowColour_;
    QColor titleColour_;
    QList<QMetaObject::Connection> connections_;
    void mapFields();
};

// A read-only grid over a Dataset, its current row kept in step with the dataset's. The selected
// cell is yellow with black text; titles are centred.
class DataGrid : public QTableView {
    Q_OBJECT
public:
    explicit DataGrid(QWidget *parent = nullptr);
    DatasetModel *gridModel() const { return model_; }
    void setDataset(Dataset *dataset);
    void setColumns(const QList<GridColumn> &columns);
    void setRowColour(std::function<QColor(const Dataset &, int row)> rule) { model_->setRowColour(std::move(rule)); }

private:
    void followDataset();
    DatasetModel *model_;
    QMetaObject::Connection currentConnection_;
    bool syncing_ = false;
};

} // namespace tolva
