#pragma once

#include <QHeaderView>
#include <QList>
#include <QStringList>

class QLineEdit;
class QTableView;
class QTimer;

// The grid's column titles with a filter field under each. The titles keep their clicks (the
// sort); the fields below them follow the columns' widths and the horizontal scroll. What a
// filter means is the result's business: this header only says when the texts changed.
class FilterHeader : public QHeaderView {
    Q_OBJECT

public:
    explicit FilterHeader(QTableView* table);

    QSize sizeHint() const override;

    // One field per title, named "Filter <title>" for screen readers, showing the texts given
    // (an empty list clears every field).
    void showColumns(const QStringList& titles, const QStringList& texts);
    QString filterText(int column) const;
    QLineEdit* field(int column) const { return m_fields.value(column); }

Q_SIGNALS:
    // A field's text changed and the typing paused, or Enter was pressed in it.
    void filterEdited();

protected:
    void updateGeometries() override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void placeFields();

    QList<QLineEdit*> m_fields;
    QTimer* m_pause;
    int m_fieldHeight;
};
