#include "designsize.h"

#include "import/ui/cylindergauge.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

// Outside the text areas a pixel may differ by this much per colour channel: the same Qt draws
// frames, gradients and arrows alike everywhere, up to the rounding of its smoothed edges.
constexpr int channelTolerance = 2;

struct Placed {
    QRect rect;
    bool visible = false;
};

QRect inWindow(const QWidget& window, const QWidget* widget, const QRect& area)
{
    return QRect(widget->mapTo(&window, area.topLeft()), area.size());
}

// The controls named by the program (Qt's own parts are named "qt_..."), a repeated name counted
// on in the order the window holds them.
QMap<QString, const QWidget*> namedControls(const QWidget& window)
{
    QMap<QString, const QWidget*> named;
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        const QString name = widget->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")) || widget->window() != &window)
            continue;
        QString key = name;
        for (int n = 2; named.contains(key); ++n)
            key = name + QLatin1Char('#') + QString::number(n);
        named.insert(key, widget);
    }
    return named;
}

Placed placed(const QWidget& window, const QWidget* widget)
{
    return {inWindow(window, widget, widget->rect()), widget->isVisibleTo(&window)};
}

QJsonObject table(const QWidget& window)
{
    QJsonObject controls;
    const auto named = namedControls(window);
    for (auto at = named.begin(); at != named.end(); ++at) {
        const Placed p = placed(window, at.value());
        controls.insert(at.key(), QJsonObject{{"rect", QJsonArray{p.rect.x(), p.rect.y(), p.rect.width(), p.rect.height()}},
                                              {"visible", p.visible}});
    }
    return QJsonObject{{"size", QJsonArray{window.width(), window.height()}}, {"controls", controls}};
}

// Where a control draws text, in the window: there the machine's fonts and their rasteriser
// decide the pixels, so the picture is compared only outside these areas.
QList<QRect> textAreas(const QWidget& window)
{
    QList<QRect> areas;
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        if (widget->window() != &window || !widget->isVisibleTo(&window))
            continue;
        QStyle* style = widget->style();
        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            areas.append(inWindow(window, label, label->contentsRect()));
        } else if (const auto* check = qobject_cast<const QCheckBox*>(widget)) {
            QStyleOptionButton option;
            option.initFrom(check);
            option.text = check->text();
            areas.append(inWindow(window, check, style->subElementRect(QStyle::SE_CheckBoxContents, &option, check)));
            areas.append(inWindow(window, check, style->subElementRect(QStyle::SE_CheckBoxFocusRect, &option, check)));
        } else if (const auto* radio = qobject_cast<const QRadioButton*>(widget)) {
            QStyleOptionButton option;
            option.initFrom(radio);
            option.text = radio->text();
            areas.append(inWindow(window, radio, style->subElementRect(QStyle::SE_RadioButtonContents, &option, radio)));
            areas.append(inWindow(window, radio, style->subElementRect(QStyle::SE_RadioButtonFocusRect, &option, radio)));
        } else if (const auto* button = qobject_cast<const QPushButton*>(widget)) {
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            areas.append(inWindow(window, button, style->subElementRect(QStyle::SE_PushButtonContents, &option, button)));
        } else if (const auto* tool = qobject_cast<const QToolButton*>(widget)) {
            if (tool->arrowType() == Qt::NoArrow && !tool->text().isEmpty())
                areas.append(inWindow(window, tool, tool->rect()));
        } else if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
            QStyleOptionComboBox option;
            option.initFrom(combo);
            option.editable = combo->isEditable();
            areas.append(inWindow(window, combo,
                                  style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo)));
        } else if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
            // The text and the blinking cursor lie inside the frame.
            const int frame = style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit);
            areas.append(inWindow(window, edit, edit->rect().adjusted(frame, frame, -frame, -frame)));
        } else if (const auto* group = qobject_cast<const QGroupBox*>(widget)) {
            if (!group->title().isEmpty())
                areas.append(inWindow(window, group, QRect(0, 0, group->width(), group->fontMetrics().height() + 4)));
        } else if (const auto* gauge = qobject_cast<const CylinderGauge*>(widget)) {
            // The percentage, centred, in bold with its shadow: a font height to either side
            // covers a face wider or narrower than this machine's.
            QFont bold = gauge->font();
            bold.setBold(true);
            const QFontMetrics metrics(bold);
            const int width = metrics.horizontalAdvance(gauge->text()) + 2 * metrics.height();
            areas.append(inWindow(window, gauge, QRect((gauge->width() - width) / 2, 0, width, gauge->height())));
        }
        // Text shown in a page, a memo or a list: its whole viewport.
        const QWidget* viewport = nullptr;
        if (const auto* text = qobject_cast<const QTextEdit*>(widget); text && !text->document()->isEmpty())
            viewport = text->viewport();
        else if (const auto* memo = qobject_cast<const QPlainTextEdit*>(widget); memo && !memo->document()->isEmpty())
            viewport = memo->viewport();
        else if (const auto* list = qobject_cast<const QAbstractItemView*>(widget);
                 list && list->model() && list->model()->rowCount() > 0)
            viewport = list->viewport();
        if (viewport)
            areas.append(inWindow(window, viewport, viewport->rect()));
    }
    return areas;
}

QString describe(const QRect& r)
{
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

} // namespace

QMap<QString, QRect> controlPlaces(const QWidget& window)
{
    QMap<QString, QRect> places;
    const auto named = namedControls(window);
    for (auto at = named.begin(); at != named.end(); ++at)
        places.insert(at.key(), placed(window, at.value()).rect);
    return places;
}

void resizeShown(QWidget& window, const QSize& size)
{
    window.resize(size);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.size() == size; }, 2000))
        << qPrintable(window.objectName()) << " did not take the size " << size.width() << "x" << size.height();
    QCoreApplication::sendPostedEvents();   // the layout request the resize raised
}

void useDesignSizeLook()
{
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(QApplication::style()->standardPalette());
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(12);
    QApplication::setFont(font);
}

void expectAsDesigned(QWidget& window, const QString& folder, const QString& name)
{
    const QString tablePath = folder + QLatin1Char('/') + name + QStringLiteral(".json");
    const QString picturePath = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    const QImage shot = window.grab().toImage().convertToFormat(QImage::Format_RGB32);

    if (qEnvironmentVariableIsSet("RACR_WRITE_DESIGNSIZE")) {
        QDir().mkpath(folder);
        QFile file(tablePath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << qPrintable(tablePath);
        file.write(QJsonDocument(table(window)).toJson(QJsonDocument::Indented));
        ASSERT_TRUE(shot.save(picturePath)) << qPrintable(picturePath);
        std::printf("wrote %s and %s\n", qPrintable(tablePath), qPrintable(picturePath));
        return;
    }

    QFile file(tablePath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(tablePath);
    const QJsonObject expected = QJsonDocument::fromJson(file.readAll()).object();
    const QJsonArray size = expected["size"].toArray();
    ASSERT_EQ(window.size(), QSize(size[0].toInt(), size[1].toInt())) << qPrintable(name);

    // Every control where it stood, and no named control that the table does not know.
    const QJsonObject controls = expected["controls"].toObject();
    const auto named = namedControls(window);
    for (auto at = controls.begin(); at != controls.end(); ++at) {
        const QJsonArray r = at.value().toObject()["rect"].toArray();
        const QRect want(r[0].toInt(), r[1].toInt(), r[2].toInt(), r[3].toInt());
        const QWidget* widget = named.value(at.key());
        if (!widget) {
            ADD_FAILURE() << qPrintable(name) << ": no control " << qPrintable(at.key());
            continue;
        }
        const Placed got = placed(window, widget);
        // A label sized to its own text is as wide as this machine's font makes it.
        const auto* label = qobject_cast<const QLabel*>(widget);
        const bool sizeAsDesigned = got.rect.size() == want.size() || (label && got.rect.size() == label->sizeHint());
        EXPECT_TRUE(got.rect.topLeft() == want.topLeft() && sizeAsDesigned)
            << qPrintable(name) << ": " << qPrintable(at.key()) << " at " << qPrintable(describe(got.rect))
            << ", designed at " << qPrintable(describe(want));
        EXPECT_EQ(got.visible, at.value().toObject()["visible"].toBool()) << qPrintable(name) << ": " << qPrintable(at.key());
    }
    for (auto at = named.begin(); at != named.end(); ++at)
        EXPECT_TRUE(controls.contains(at.key())) << qPrintable(name) << ": " << qPrintable(at.key()) << " is not in the table";

    // The picture, outside the text areas.
    const QImage reference = QImage(picturePath).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shot.size(), reference.size()) << qPrintable(picturePath);
    QImage mask(shot.size(), QImage::Format_Grayscale8);
    mask.fill(0);
    {
        QPainter painter(&mask);
        for (const QRect& area : textAreas(window))
            painter.fillRect(area, Qt::white);
    }
    int compared = 0;
    int differing = 0;
    QPoint first;
    for (int y = 0; y < shot.height(); ++y) {
        const auto* got = reinterpret_cast<const QRgb*>(shot.constScanLine(y));
        const auto* want = reinterpret_cast<const QRgb*>(reference.constScanLine(y));
        const uchar* masked = mask.constScanLine(y);
        for (int x = 0; x < shot.width(); ++x) {
            if (masked[x])
                continue;
            ++compared;
            const int apart = std::max({std::abs(qRed(got[x]) - qRed(want[x])), std::abs(qGreen(got[x]) - qGreen(want[x])),
                                        std::abs(qBlue(got[x]) - qBlue(want[x]))});
            if (apart > channelTolerance && differing++ == 0)
                first = QPoint(x, y);
        }
    }
    std::printf("%s: %d of %d pixels compared outside the text\n", qPrintable(name), compared,
                shot.width() * shot.height());
    if (differing > 0) {
        const QString kept = QDir::temp().filePath(name + QStringLiteral("-as-drawn.png"));
        shot.save(kept);
        ADD_FAILURE() << qPrintable(name) << ": " << differing << " pixel(s) outside the text differ from "
                      << qPrintable(picturePath) << ", the first at " << first.x() << "," << first.y()
                      << "; the window as drawn is in " << qPrintable(kept);
    }
}
