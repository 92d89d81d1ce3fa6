#include "recordnavigator.h"

#include <QToolButton>

namespace {
struct ButtonText {
    const char* name;     // objectName, for tests and style sheets
    const char16_t* glyph;
    const char* tip;
};

const ButtonText buttonTexts[RecordNavigator::ButtonCount] = {
    {"nbFirst", u"|\u25C0", "First record"},
    {"nbPrior", u"\u25C0", "Prior record"},
    {"nbNext", u"\u25B6", "Next record"},
    {"nbLast", u"\u25B6|", "Last record"},
    {"nbInsert", u"+", "Insert record"},
    {"nbDelete", u"\u2212", "Delete record"},
    {"nbEdit", u"\u25B2", "Edit record"},
    {"nbPost", u"\u2713", "Post edit"},
    {"nbCancel", u"\u2717", "Cancel edit"},
};
} // namespace

RecordNavigator::RecordNavigator(QWidget* parent) : QWidget(parent)
{
    for (int i = 0; i < ButtonCount; ++i) {
        auto* b = new QToolButton(this);
        b->setObjectName(QLatin1String(buttonTexts[i].name));
        b->setText(QString::fromUtf16(buttonTexts[i].glyph));
        b->setToolTip(QLatin1String(buttonTexts[i].tip));
        b->setAccessibleName(QLatin1String(buttonTexts[i].tip));   // the glyph says nothing to a screen reader
        // The grid keeps the focus, so an open cell editor is still there to post or cancel.
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QToolButton::clicked, this, [this, i] { Q_EMIT clicked(Button(i)); });
        m_buttons[i] = b;
    }
}

void RecordNavigator::setButtonEnabled(Button which, bool enabled)
{
    m_buttons[which]->setEnabled(enabled);
}

void RecordNavigator::resizeEvent(QResizeEvent*)
{
    // Equal widths across the whole control, the last button taking what is left over.
    const int count = ButtonCount;
    int x = 0;
    for (int i = 0; i < count; ++i) {
        const int right = (i + 1) * width() / count;
        m_buttons[i]->setGeometry(x, 0, right - x, height());
        x = right;
    }
}
