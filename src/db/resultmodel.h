#pragma once

#include <QAbstractTableModel>

class OpenResult;

// The open result of an open result as a table for the grid: one column per field, the field
// names as titles, a row indicator in the vertical header. An edit of a stored row is written to
// the database when the cell is committed; a new row collects values until it is posted.
class ResultModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit ResultModel(OpenResult& openResult, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    QString fieldName(int column) const;

Q_SIGNALS:
    // The database (or the open result) refused a change; the row shows what is stored.
    void writeFailed(const QString& message);

private:
    void currentRowMoved();

    OpenResult& m_openResult;
    int m_indicatorRow = -1;
};
