#include "common/ui/radiogroup.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QResizeEvent>

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), m_group(new QButtonGroup(this))
{
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        button->setObjectName(QStringLiteral("item%1").arg(i));
        m_group->addButton(button, i);
        m_items.append(button);
    }
    connect(m_group, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            Q_EMIT itemIndexChanged(id);
    });
}

int RadioGroup::itemIndex() const
{
    return m_group->checkedId();
}

void RadioGroup::setItemIndex(int index)
{
    if (index >= 0 && index < m_items.size())
        m_items[index]->setChecked(true);
}

void RadioGroup::resizeEvent(QResizeEvent* event)
{
    QGroupBox::resizeEvent(event);
    if (m_items.isEmpty())
        return;
    const int top = title().isEmpty() ? 4 : 14;
    const int rowHeight = (height() - top - 4) / int(m_items.size());
    for (int i = 0; i < m_items.size(); ++i)
        m_items[i]->setGeometry(8, top + i * rowHeight + (rowHeight - 17) / 2, width() - 12, 17);
}
