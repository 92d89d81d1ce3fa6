#include "chartwindow.h"

#include "chartdrawing.h"
#include "chartjob.h"
#include "common/dialogs.h"
#include "common/errordisplay.h"
#include "common/shellvalues.h"
#include "common/windowstyle.h"
#include "db/queryobject.h"
#include "import/drivernames.h"
#include "viewers/accessiblewindow.h"

#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QIcon>
#include <QPixmap>
#include <QXYSeries>
#include <QPushButton>
#include <QScreen>
#include <QVariant>
#include <QVBoxLayout>
#include <algorithm>

namespace {
const QString caption = QStringLiteral("RACR tool");
const QString allValues = QStringLiteral("(all)");

// The columns a one-click chart needs, by the names the default statement and the tables give.
const QStringList trackNames{QStringLiteral("trackname"), QStringLiteral("trackid")};
const QStringList raceTypeNames{QStringLiteral("Racetype"), QStringLiteral("multiplayer")};
const QStringList driverNames{QStringLiteral("driver"), QStringLiteral("drivername")};
const QString dateName = QStringLiteral("date");
const QString timeName = QStringLiteral("besttime");

// Without regard to case: PostgreSQL gives the default statement's "Racetype" as "racetype".
int firstOf(const QStringList& fields, const QStringList& names)
{
    for (const QString& name : names)
        for (qsizetype at = 0; at < fields.size(); ++at)
            if (fields.at(at).compare(name, Qt::CaseInsensitive) == 0)
                return int(at);
    return -1;
}
} // namespace

ChartWindow::ChartWindow(QueryObject& dataSet, const ShellValues& shell, QWidget* parent)
    : QWidget(parent, Qt::Window), m_dataSet(dataSet), m_shell(shell)
{
    setObjectName(QStringLiteral("ChartWindow"));
    setWindowTitle(QStringLiteral("Chart"));
    installWindowAccessibility(staticMetaObject);
    windowstyle::closeWithKeys(this);
    resize(960, 600);

    xBox = new QComboBox(this);
    xBox->setObjectName(QStringLiteral("xBox"));
    yList = new QListWidget(this);
    yList->setObjectName(QStringLiteral("yList"));
    yList->setMaximumHeight(110);
    splitBox = new QComboBox(this);
    splitBox->setObjectName(QStringLiteral("splitBox"));
    styleBox = new QComboBox(this);
    styleBox->setObjectName(QStringLiteral("styleBox"));
    styleBox->addItems({QStringLiteral("Lines"), QStringLiteral("Points")});
    trackBox = new QComboBox(this);
    trackBox->setObjectName(QStringLiteral("trackBox"));
    raceTypeBox = new QComboBox(this);
    raceTypeBox->setObjectName(QStringLiteral("raceTypeBox"));
    driverBox = new QComboBox(this);
    driverBox->setObjectName(QStringLiteral("driverBox"));
    listedOnly = new QCheckBox(QStringLiteral("Only the drivers of the list"), this);
    listedOnly->setObjectName(QStringLiteral("listedOnly"));
    driverOnTrack = new QPushButton(QStringLiteral("This driver on this track"), this);
    driverOnTrack->setObjectName(QStringLiteral("driverOnTrack"));
    driverOnTrack->setToolTip(QStringLiteral("The best times of the current row's driver on its track, over time"));
    listOnTrack = new QPushButton(QStringLiteral("Drivers of the list on this track"), this);
    listOnTrack->setObjectName(QStringLiteral("listOnTrack"));
    listOnTrack->setToolTip(QStringLiteral("The best times of the drivers of the list on the current row's track"));
    saveButton = new QPushButton(QStringLiteral("Save…"), this);
    saveButton->setObjectName(QStringLiteral("saveButton"));
    doubleSize = new QCheckBox(QStringLiteral("Twice the si&ze"), this);
    doubleSize->setObjectName(QStringLiteral("doubleSize"));
    doubleSize->setToolTip(QStringLiteral("Saves a PNG picture of twice the chart's size on the screen"));
    note = new QLabel(this);
    note->setObjectName(QStringLiteral("note"));
    note->setWordWrap(true);
    view = new QChartView(this);
    view->setObjectName(QStringLiteral("view"));
    view->setRenderHint(QPainter::Antialiasing);
    legend = new QListWidget(this);
    legend->setObjectName(QStringLiteral("legend"));
    legend->setAccessibleName(QStringLiteral("Legend"));
    legend->setSelectionMode(QAbstractItemView::NoSelection);
    legend->setFocusPolicy(Qt::NoFocus);
    legend->setFixedWidth(200);
    legend->hide();

    auto* columns = new QFormLayout;
    columns->addRow(QStringLiteral("&X:"), xBox);
    columns->addRow(QStringLiteral("&Y:"), yList);
    columns->addRow(QStringLiteral("&Series by:"), splitBox);
    columns->addRow(QStringLiteral("&Draw:"), styleBox);
    auto* rows = new QFormLayout;
    rows->addRow(QStringLiteral("&Track:"), trackBox);
    rows->addRow(QStringLiteral("&Race type:"), raceTypeBox);
    rows->addRow(QStringLiteral("Dri&ver:"), driverBox);
    rows->addRow(QString(), listedOnly);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(driverOnTrack);
    buttons->addWidget(listOnTrack);
    buttons->addStretch();
    buttons->addWidget(saveButton);
    buttons->addWidget(doubleSize);
    auto* controls = new QHBoxLayout;
    controls->addLayout(columns, 2);
    controls->addLayout(rows, 2);
    controls->addLayout(buttons, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(note);
    auto* plot = new QHBoxLayout;
    plot->addWidget(view, 1);
    plot->addWidget(legend);
    layout->addLayout(plot, 1);

    const auto changed = [this] {
        if (!m_filling)
            guarded([this] { redraw(); });
    };
    for (QComboBox* box : {xBox, splitBox, styleBox, trackBox, raceTypeBox, driverBox})
        connect(box, &QComboBox::currentIndexChanged, this, changed);
    connect(yList, &QListWidget::itemChanged, this, changed);
    connect(listedOnly, &QCheckBox::toggled, this, changed);
    connect(driverOnTrack, &QPushButton::clicked, this, [this] { guarded([this] { driverOnTrackClick(); }); });
    connect(listOnTrack, &QPushButton::clicked, this, [this] { guarded([this] { listOnTrackClick(); }); });
    connect(saveButton, &QPushButton::clicked, this, [this] { guarded([this] { saveClick(); }); });
    // A new or reordered result is read again when the window shows it.
    connect(&m_dataSet, &QueryObject::resultChanged, this, [this] {
        m_stale = true;
        dropJob();   // its rows are gone
        if (isVisible())
            guarded([this] { reload(); });
    });
    // A chart shows the whole result: one still being read is charted once its last row is in.
    connect(&m_dataSet, &QueryObject::fetchingChanged, this, [this](bool fetching) {
        if (!fetching && m_stale && isVisible())
            guarded([this] { reload(); });
    });
    applyTheme();
}

ChartWindow::~ChartWindow() = default;

void ChartWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_stale)
        guarded([this] { reload(); });
}

// A closed window makes no chart: one under way stops, and the next show makes it again.
void ChartWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (m_job && m_job->isRunning()) {
        dropJob();
        m_stale = true;
    }
}

// The job may be the one telling of its chart just now: it stops at once and goes once the
// event loop comes round (or with the window).
void ChartWindow::dropJob()
{
    if (!m_job)
        return;
    m_job->stop();
    m_job.release()->deleteLater();
}

void ChartWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        applyTheme();
}

// The chart's colours follow the desktop: dark text on light, or light on dark.
void ChartWindow::applyTheme()
{
    const bool dark = palette().color(QPalette::Window).lightness() < 128;
    const QChart::ChartTheme theme = dark ? QChart::ChartThemeDark : QChart::ChartThemeLight;
    if (view->chart()->theme() != theme) {
        // Qt Charts 6.8 exports QChart::setTheme() under its private-API symbol version, which Qt
        // keeps only within one release; the documented property reaches the same setter through
        // the meta-object.
        view->chart()->setProperty("theme", QVariant::fromValue(theme));
        chartdrawing::colourSeries(*view->chart());
        showLegend();
    }
}

// One entry per series drawn, in the series' order and colour; none for a single series.
void ChartWindow::showLegend()
{
    legend->clear();
    const QList<QAbstractSeries*> all = view->chart()->series();
    legend->setVisible(all.size() > 1);
    if (all.size() <= 1)
        return;
    const int side = legend->fontMetrics().height();
    for (QAbstractSeries* series : all) {
        QPixmap swatch(side, side);
        swatch.fill(static_cast<QXYSeries*>(series)->color());
        legend->addItem(new QListWidgetItem(QIcon(swatch), series->name()));
    }
}

int ChartWindow::fieldOf(const QComboBox* box) const
{
    return box->currentData().isValid() ? box->currentData().toInt() : -1;
}

// Fills the controls from the result, keeping the user's choices where the columns stay.
void ChartWindow::reload()
{
    if (m_dataSet.isFetching()) {
        note->setText(QStringLiteral("Reading the rest of the result: the chart follows when it is all in."));
        return;
    }
    m_stale = false;
    const QStringList fields = m_dataSet.isOpen() ? m_dataSet.fieldNames() : QStringList();
    const QString x = xBox->currentText();
    const QString split = splitBox->currentText();
    QStringList checked;
    for (int i = 0; i < yList->count(); ++i)
        if (yList->item(i)->checkState() == Qt::Checked)
            checked.append(yList->item(i)->text());

    m_filling = true;
    xBox->clear();
    yList->clear();
    splitBox->clear();
    splitBox->addItem(QStringLiteral("(none)"));
    for (int f = 0; f < fields.size(); ++f) {
        xBox->addItem(fields[f], f);
        splitBox->addItem(fields[f], f);
        auto* item = new QListWidgetItem(fields[f], yList);
        item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
        item->setCheckState(checked.contains(fields[f]) ? Qt::Checked : Qt::Unchecked);
    }
    // A first look: times over dates per driver when the result has them.
    const bool fresh = x.isEmpty() || !fields.contains(x);
    xBox->setCurrentIndex(std::max(0, int(fields.indexOf(fresh && fields.contains(dateName) ? dateName : x))));
    splitBox->setCurrentIndex(fresh ? firstOf(fields, driverNames) + 1 : int(fields.indexOf(split)) + 1);
    const bool anyChecked = std::any_of(checked.begin(), checked.end(),
                                        [&](const QString& name) { return fields.contains(name); });
    if (fresh && !anyChecked) {
        const int y = fields.contains(timeName) ? int(fields.indexOf(timeName)) : (fields.size() > 1 ? 1 : 0);
        if (QListWidgetItem* item = yList->item(y))
            item->setCheckState(Qt::Checked);
    }

    // The filter boxes keep their choice while the result's values are read with the chart.
    for (auto [box, names] : {std::pair{trackBox, &trackNames}, std::pair{raceTypeBox, &raceTypeNames},
                              std::pair{driverBox, &driverNames}}) {
        const QString kept = box->currentText();
        const int field = firstOf(fields, *names);
        box->clear();
        box->addItem(allValues);
        box->setEnabled(field >= 0);
        if (field >= 0 && !kept.isEmpty() && kept != allValues) {
            box->addItem(kept, field);
            box->setCurrentIndex(1);
        }
    }
    m_choicesStale = true;
    m_filling = false;
    redraw();
}

// The values of the result's track, race type and driver columns, read with a chart. A choice
// the new result lacks goes back to all rows, and the chart is made again.
void ChartWindow::fillChoices(const QList<QStringList>& choices)
{
    m_choicesStale = false;
    bool lost = false;
    m_filling = true;
    int at = 0;
    for (auto [box, names] : {std::pair{trackBox, &trackNames}, std::pair{raceTypeBox, &raceTypeNames},
                              std::pair{driverBox, &driverNames}}) {
        const int field = firstOf(m_dataSet.fieldNames(), *names);
        if (field < 0)
            continue;
        const QString kept = box->currentText();
        box->clear();
        box->addItem(allValues);
        for (const QString& value : choices.value(at++))
            box->addItem(value, field);
        const int found = box->findText(kept);
        lost = lost || found < 0;
        box->setCurrentIndex(std::max(0, found));
    }
    m_filling = false;
    if (lost)
        QMetaObject::invokeMethod(this, [this] { guarded([this] { redraw(); }); }, Qt::QueuedConnection);
}

// Series are thinned to a few points per column of the widest chart the screen can show.
int ChartWindow::thinningColumns() const
{
    const QScreen* shown = screen();
    return shown ? std::max(1000, int(shown->geometry().width() * shown->devicePixelRatio())) : 2000;
}

void ChartWindow::redraw()
{
    const QStringList fields = m_dataSet.isOpen() ? m_dataSet.fieldNames() : QStringList();
    chartdata::Request request;
    request.xField = fieldOf(xBox);
    for (int i = 0; i < yList->count(); ++i)
        if (yList->item(i)->checkState() == Qt::Checked)
            request.yFields.append(i);
    request.splitField = fieldOf(splitBox);
    QStringList shown;
    for (QComboBox* box : {trackBox, raceTypeBox, driverBox})
        if (const int field = fieldOf(box); field >= 0) {
            request.filters.append({field, box->currentText()});
            shown.append(box->currentText());
        }
    // The list holds driver names: it only picks series split by a driver column.
    const bool byDriver = driverNames.contains(fields.value(request.splitField), Qt::CaseInsensitive);
    listedOnly->setEnabled(byDriver);
    if (listedOnly->isChecked() && byDriver)
        // Split as the import splits it: `"Night: Rider"` is the driver Night: Rider.
        for (const QString& name : splitDriverNames(m_shell.driverList()))
            if (!name.trimmed().isEmpty())
                request.onlySplitValues.append(name);
    QList<int> choiceFields;
    if (m_choicesStale)
        for (const QStringList* names : {&trackNames, &raceTypeNames, &driverNames})
            if (const int field = firstOf(fields, *names); field >= 0)
                choiceFields.append(field);

    QStringList notes;
    if (!m_dataSet.isOpen())
        notes.append(QStringLiteral("Run a statement in the main window: its result is charted here."));
    else if (request.yFields.isEmpty())
        notes.append(QStringLiteral("Check one or more Y columns to draw."));
    const QString title = shown.isEmpty() ? QString() : QStringLiteral(" — ") + shown.join(QStringLiteral(", "));

    dropJob();
    m_job = std::make_unique<ChartJob>(m_dataSet, request, choiceFields, thinningColumns(), chartdrawing::mostSeries,
                                       this);
    connect(m_job.get(), &ChartJob::finished, this,
            [this, notes, title](const chartdata::Chart& chart, const QList<QStringList>& choices) {
                guarded([&] {
                    view->chart()->setTitle(chart.yTitle + title);
                    present(chart, choices, notes);
                });
            });
    m_job->start();
    if (m_job->isRunning())
        note->setText(QStringLiteral("Reading %L1 rows for the chart…").arg(m_dataSet.recordCount()));
}

void ChartWindow::present(const chartdata::Chart& chart, const QList<QStringList>& choices, QStringList notes)
{
    if (m_choicesStale && !choices.isEmpty())
        fillChoices(choices);
    m_chart = chart;
    const bool drawnAsLines = chartdrawing::draw(*view->chart(), m_chart,
                                                 styleBox->currentIndex() == 0 ? chartdrawing::Style::Lines
                                                                               : chartdrawing::Style::Points);
    showLegend();
    if (m_chart.leftOut > 0)
        notes.append(QStringLiteral("%1 row(s) left out: their X or Y value is not a number or date.")
                         .arg(m_chart.leftOut));
    if (m_chart.seriesLeftOut > 0)
        notes.append(QStringLiteral("%L1 series: the %2 with the most points are drawn. Choose a track or driver, or "
                                    "the drivers of the list, to see the others.")
                         .arg(m_chart.series.size() + m_chart.seriesLeftOut)
                         .arg(m_chart.series.size()));
    if (drawnAsLines)
        notes.append(QStringLiteral("Too many points to draw one by one: drawn as lines. Choose a track or "
                                    "driver to draw fewer."));
    note->setText(notes.join(QLatin1Char(' ')));
    Q_EMIT drawn();
}

// The one-click charts start from the grid's current row and need its driver and track.
bool ChartWindow::oneClickReady(int row)
{
    const QStringList fields = m_dataSet.isOpen() ? m_dataSet.fieldNames() : QStringList();
    const bool columns = fields.contains(dateName) && fields.contains(timeName) && firstOf(fields, trackNames) >= 0
                         && firstOf(fields, driverNames) >= 0;
    if (!columns) {
        note->setText(QStringLiteral("This chart needs a result with the columns driver, trackname, date and "
                                     "besttime, such as the default statement's. Run it, then try again."));
        return false;
    }
    if (row < 0) {
        note->setText(QStringLiteral("Select a row of the result in the main window first: its driver and "
                                     "track are charted."));
        return false;
    }
    return true;
}

// Best times over dates, split by the given column or not at all.
void ChartWindow::chooseForTimes(int split)
{
    const QStringList fields = m_dataSet.fieldNames();
    xBox->setCurrentIndex(int(fields.indexOf(dateName)));
    const int y = int(fields.indexOf(timeName));
    for (int i = 0; i < yList->count(); ++i)
        yList->item(i)->setCheckState(i == y ? Qt::Checked : Qt::Unchecked);
    splitBox->setCurrentIndex(split + 1);
}

// The filter shows the row's value of its column, or all rows when the result lacks the column.
void ChartWindow::setFilter(QComboBox* box, int row)
{
    const int field = firstOf(m_dataSet.fieldNames(), box == trackBox      ? trackNames
                                                      : box == raceTypeBox ? raceTypeNames
                                                                           : driverNames);
    if (row < 0 || field < 0) {
        box->setCurrentIndex(0);
        return;
    }
    // The box may not list the result's values yet: they are read with the chart.
    const QString value = m_dataSet.valueAt(row, field).toString();
    if (box->findText(value) < 0)
        box->addItem(value, field);
    box->setCurrentIndex(box->findText(value));
}

void ChartWindow::driverOnTrackClick()
{
    oneClick(false);
}

void ChartWindow::listOnTrackClick()
{
    oneClick(true);
}

// The current row's track and race type: its driver alone, or the drivers of the list, one
// series each.
void ChartWindow::oneClick(bool listedDrivers)
{
    if (m_stale)
        reload();
    const int row = m_dataSet.currentRow();
    if (!oneClickReady(row))
        return;
    m_filling = true;
    chooseForTimes(listedDrivers ? firstOf(m_dataSet.fieldNames(), driverNames) : -1);
    setFilter(trackBox, row);
    setFilter(raceTypeBox, row);
    setFilter(driverBox, listedDrivers ? -1 : row);
    listedOnly->setChecked(listedDrivers);
    m_filling = false;
    redraw();
}

void ChartWindow::saveClick()
{
    const QString path = Dialogs::instance().saveFileName(
        {QStringLiteral("Save chart"), {QStringLiteral("PNG pictures (*.png)"), QStringLiteral("SVG drawings (*.svg)")},
         QStringLiteral("png"), m_lastSaved});
    if (path.isEmpty())
        return;
    m_lastSaved = path;
    if (!chartdrawing::save(*view, path, doubleSize->isChecked()))
        Dialogs::instance().message(caption,
                                    QStringLiteral("The chart could not be written to %1. Choose a folder you "
                                                   "may write to.")
                                        .arg(QDir::toNativeSeparators(path)),
                                    Dialogs::Icon::Error);
}
