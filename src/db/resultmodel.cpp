#include "db/resultmodel.h"

#include "common/error.h"
#include "db/openresult.h"

ResultModel::ResultModel(OpenResult& openResult, QObject* parent) : QAbstractTableModel(parent), m_openResult(openResult)
{
    connect(&m_openResult, &OpenResult::resultAboutToChange, this, &ResultModel::beginResetModel);
    connect(&m_openResult, &OpenResult::resultChanged, this, [this] {
        m_indicatorRow = m_openResult.currentRow();
        endResetModel();
    });
    connect(&m_openResult, &OpenResult::rowAboutToBeInserted, this, [this](int row) { beginInsertRows({}, row, row); });
    connect(&m_openResult, &OpenResult::rowInserted, this, &ResultModel::endInsertRows);
    connect(&m_openResult, &OpenResult::rowsAboutToBeFetched, this,
            [this](int first, int last) { beginInsertRows({}, first, last); });
    connect(&m_openResult, &OpenResult::rowsFetched, this, &ResultModel::endInsertRows);
    connect(&m_openResult, &OpenResult::rowAboutToBeRemoved, this, [this](int row) {
        beginRemoveRows({}, row, row);
        if (m_indicatorRow >= row)
            m_indicatorRow = -1;
    });
    connect(&m_openResult, &OpenResult::rowRemoved, this, &ResultModel::endRemoveRows);
    connect(&m_openResult, &OpenResult::rowChanged, this, [this](int row) {
        Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1));
        Q_EMIT headerDataChanged(Qt::Vertical, row, row);
    });
    connect(&m_openResult, &OpenResult::currentRowChanged, this, &ResultModel::currentRowMoved);
}

void ResultModel::currentRowMoved()
{
    const int previous = m_indicatorRow;
    m_indicatorRow = m_openResult.currentRow();
    if (previous >= 0 && previous < rowCount())
        Q_EMIT headerDataChanged(Qt::Vertical, previous, previous);
    if (m_indicatorRow >= 0)
        Q_EMIT headerDataChanged(Qt::Vertical, m_indicatorRow, m_indicatorRow);
}

int ResultModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_openResult.recordCount();
}

int ResultModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_openResult.fieldCount();
}

QString ResultModel::fieldName(int column) const
{
    return m_openResult.fieldNames().value(column);
}

QVariant ResultModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        if (m_openResult.isBlob(index.row(), index.column()))
            return QStringLiteral("(BLOB)");
        return m_openResult.textAt(index.row(), index.column());
    case Qt::EditRole:
        return m_openResult.textAt(index.row(), index.column());
    case Qt::TextAlignmentRole: {
        const QVariant value = m_openResult.valueAt(index.row(), index.column());
        switch (value.typeId()) {
        case QMetaType::QByteArray: return int(Qt::AlignCenter);
        case QMetaType::LongLong:
        case QMetaType::Double: return int(Qt::AlignRight | Qt::AlignVCenter);
        default: return int(Qt::AlignLeft | Qt::AlignVCenter);
        }
    }
    default:
        return {};
    }
}

QVariant ResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return fieldName(section);
    // The row indicator: the current row, a row being edited, a new row.
    if (section != m_openResult.currentRow())
        return QString();
    switch (m_openResult.state()) {
    case OpenResult::State::Edit: return QStringLiteral("I");
    case OpenResult::State::Insert: return QStringLiteral("*");
    default: return QStringLiteral("\u25B6");
    }
}

Qt::ItemFlags ResultModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && !m_openResult.isReadOnly(index.column()) && !m_openResult.isBlob(index.row(), index.column()))
        f |= Qt::ItemIsEditable;
    return f;
}

bool ResultModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    try {
        if (index.row() != m_openResult.currentRow())
            m_openResult.moveTo(index.row());
        m_openResult.setFieldText(index.column(), value.toString());
        // A stored row is written at once, so no change waits unseen in the grid; a new row
        // waits for its other values.
        if (m_openResult.state() == OpenResult::State::Edit)
            m_openResult.submit();
        return true;
    } catch (const racr::Error& error) {
        Q_EMIT writeFailed(error.message());
        return false;
    }
}
