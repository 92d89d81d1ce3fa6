#include "charts/ui/chartwindow.h"

#include "charts/ui/chartdrawing.h"
#include "charts/chartjob.h"
#include "common/ui/dialogs.h"
#include "common/ui/errordisplay.h"
#include "common/currentchoices.h"
#include "common/ui/windowstyle.h"
#include "db/databasefiles.h"
#include "db/openresult.h"
#include "common/drivernames.h"
#include "common/ui/accessiblewindow.h"

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

ChartWindow::ChartWindow(OpenResult& openResult, const CurrentChoices& choices, QWidget* parent)
    : QWidget(parent, Qt::Window), m_openResult(openResult), m_choices(choices)
{
    setObjectName(QStringLiteral("ChartWindow"));
    setWindowTitle(QStringLiteral("Chart"));
    installWindowAccessibility(staticMetaObject);
    windowstyle::closeWithKeys(this);
    resize(960, 600);

    m_xBox = new QComboBox(this);
    m_xBox->setObjectName(QStringLiteral("xBox"));
    m_yList = new QListWidget(this);
    m_yList->setObjectName(QStringLiteral("yList"));
    m_yList->setMaximumHeight(110);
    m_splitBox = new QComboBox(this);
    m_splitBox->setObjectName(QStringLiteral("splitBox"));
    m_styleBox = new QComboBox(this);
    m_styleBox->setObjectName(QStringLiteral("styleBox"));
    m_styleBox->addItems({QStringLiteral("Lines"), QStringLiteral("Points")});
    m_trackBox = new QComboBox(this);
    m_trackBox->setObjectName(QStringLiteral("trackBox"));
    m_raceTypeBox = new QComboBox(this);
    m_raceTypeBox->setObjectName(QStringLiteral("raceTypeBox"));
    m_driverBox = new QComboBox(this);
    m_driverBox->setObjectName(QStringLiteral("driverBox"));
    m_listedOnly = new QCheckBox(QStringLiteral("Only the drivers of the list"), this);
    m_listedOnly->setObjectName(QStringLiteral("listedOnly"));
    m_driverOnTrack = new QPushButton(QStringLiteral("This driver on this track"), this);
    m_driverOnTrack->setObjectName(QStringLiteral("driverOnTrack"));
    m_driverOnTrack->setToolTip(QStringLiteral("The best times of the current row's driver on its track, over time"));
    m_listOnTrack = new QPushButton(QStringLiteral("Drivers of the list on this track"), this);
    m_listOnTrack->setObjectName(QStringLiteral("listOnTrack"));
    m_listOnTrack->setToolTip(QStringLiteral("The best times of the drivers of the list on the current row's track"));
    m_saveButton = new QPushButton(QStringLiteral("Save…"), this);
    m_saveButton->setObjectName(QStringLiteral("saveButton"));
    m_doubleSize = new QCheckBox(QStringLiteral("Twice the si&ze"), this);
    m_doubleSize->setObjectName(QStringLiteral("doubleSize"));
    m_doubleSize->setToolTip(QStringLiteral("Saves a PNG picture of twice the chart's size on the screen"));
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("note"));
    m_note->setWordWrap(true);
    m_view = new QChartView(this);
    m_view->setObjectName(QStringLiteral("view"));
    m_view->setRenderHint(QPainter::Antialiasing);
    m_legend = new QListWidget(this);
    m_legend->setObjectName(QStringLiteral("legend"));
    m_legend->setAccessibleName(QStringLiteral("Legend"));
    m_legend->setSelectionMode(QAbstractItemView::NoSelection);
    m_legend->setFocusPolicy(Qt::NoFocus);
    m_legend->setFixedWidth(200);
    m_legend->hide();

    auto* columns = new QFormLayout;
    columns->addRow(QStringLiteral("&X:"), m_xBox);
    columns->addRow(QStringLiteral("&Y:"), m_yList);
    columns->addRow(QStringLiteral("&Series by:"), m_splitBox);
    columns->addRow(QStringLiteral("&Draw:"), m_styleBox);
    auto* rows = new QFormLayout;
    rows->addRow(QStringLiteral("&Track:"), m_trackBox);
    rows->addRow(QStringLiteral("&Race type:"), m_raceTypeBox);
    rows->addRow(QStringLiteral("Dri&ver:"), m_driverBox);
    rows->addRow(QString(), m_listedOnly);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_driverOnTrack);
    buttons->addWidget(m_listOnTrack);
    buttons->addStretch();
    buttons->addWidget(m_saveButton);
    buttons->addWidget(m_doubleSize);
    auto* controls = new QHBoxLayout;
    controls->addLayout(columns, 2);
    controls->addLayout(rows, 2);
    controls->addLayout(buttons, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(m_note);
    auto* plot = new QHBoxLayout;
    plot->addWidget(m_view, 1);
    plot->addWidget(m_legend);
    layout->addLayout(plot, 1);

    const auto changed = [this] {
        if (!m_filling)
            guarded([this] { redraw(); });
    };
    for (QComboBox* box : {m_xBox, m_splitBox, m_styleBox, m_trackBox, m_raceTypeBox, m_driverBox})
        connect(box, &QComboBox::currentIndexChanged, this, changed);
    connect(m_yList, &QListWidget::itemChanged, this, changed);
    connect(m_listedOnly, &QCheckBox::toggled, this, changed);
    connect(m_driverOnTrack, &QPushButton::clicked, this, [this] { guarded([this] { driverOnTrackClick(); }); });
    connect(m_listOnTrack, &QPushButton::clicked, this, [this] { guarded([this] { listOnTrackClick(); }); });
    connect(m_saveButton, &QPushButton::clicked, this, [this] { guarded([this] { saveClick(); }); });
    // A new or reordered result is read again when the window shows it.
    connect(&m_openResult, &OpenResult::resultChanged, this, [this] {
        m_stale = true;
        dropJob();   // its rows are gone
        if (isVisible())
            guarded([this] { reload(); });
    });
    // A chart shows the whole result: one still being read is charted once its last row is in.
    connect(&m_openResult, &OpenResult::fetchingChanged, this, [this](bool fetching) {
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
    if (m_view->chart()->theme() != theme) {
        // Qt Charts 6.8 exports QChart::setTheme() under its private-API symbol version, which Qt
        // keeps only within one release; the documented property reaches the same setter through
        // the meta-object.
        m_view->chart()->setProperty("theme", QVariant::fromValue(theme));
        chartdrawing::colourSeries(*m_view->chart());
        showLegend();
    }
}

// One entry per series drawn, in the series' order and colour; none for a single series.
void ChartWindow::showLegend()
{
    m_legend->clear();
    const QList<QAbstractSeries*> all = m_view->chart()->series();
    m_legend->setVisible(all.size() > 1);
    if (all.size() <= 1)
        return;
    const int side = m_legend->fontMetrics().height();
    for (QAbstractSeries* series : all) {
        QPixmap swatch(side, side);
        swatch.fill(static_cast<QXYSeries*>(series)->color());
        m_legend->addItem(new QListWidgetItem(QIcon(swatch), series->name()));
    }
}

int ChartWindow::fieldOf(const QComboBox* box) const
{
    return box->currentData().isValid() ? box->currentData().toInt() : -1;
}

// Fills the controls from the result, keeping the user's choices where the columns stay.
void ChartWindow::reload()
{
    if (m_openResult.isFetching()) {
        m_note->setText(QStringLiteral("Reading the rest of the result: the chart follows when it is all in."));
        return;
    }
    m_stale = false;
    const QStringList fields = m_openResult.isOpen() ? m_openResult.fieldNames() : QStringList();
    const QString x = m_xBox->currentText();
    const QString split = m_splitBox->currentText();
    QStringList checked;
    for (int i = 0; i < m_yList->count(); ++i)
        if (m_yList->item(i)->checkState() == Qt::Checked)
            checked.append(m_yList->item(i)->text());

    m_filling = true;
    m_xBox->clear();
    m_yList->clear();
    m_splitBox->clear();
    m_splitBox->addItem(QStringLiteral("(none)"));
    for (int f = 0; f < fields.size(); ++f) {
        m_xBox->addItem(fields[f], f);
        m_splitBox->addItem(fields[f], f);
        auto* item = new QListWidgetItem(fields[f], m_yList);
        item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
        item->setCheckState(checked.contains(fields[f]) ? Qt::Checked : Qt::Unchecked);
    }
    // A first look: times over dates per driver when the result has them.
    const bool fresh = x.isEmpty() || !fields.contains(x);
    m_xBox->setCurrentIndex(std::max(0, int(fields.indexOf(fresh && fields.contains(dateName) ? dateName : x))));
    m_splitBox->setCurrentIndex(fresh ? firstOf(fields, driverNames) + 1 : int(fields.indexOf(split)) + 1);
    const bool anyChecked = std::any_of(checked.begin(), checked.end(),
                                        [&](const QString& name) { return fields.contains(name); });
    if (fresh && !anyChecked) {
        const int y = fields.contains(timeName) ? int(fields.indexOf(timeName)) : (fields.size() > 1 ? 1 : 0);
        if (QListWidgetItem* item = m_yList->item(y))
            item->setCheckState(Qt::Checked);
    }

    // The filter boxes keep their choice while the result's values are read with the chart.
    for (auto [box, names] : {std::pair{m_trackBox, &trackNames}, std::pair{m_raceTypeBox, &raceTypeNames},
                              std::pair{m_driverBox, &driverNames}}) {
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
    for (auto [box, names] : {std::pair{m_trackBox, &trackNames}, std::pair{m_raceTypeBox, &raceTypeNames},
                              std::pair{m_driverBox, &driverNames}}) {
        const int field = firstOf(m_openResult.fieldNames(), *names);
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
    const QStringList fields = m_openResult.isOpen() ? m_openResult.fieldNames() : QStringList();
    chartdata::Request request;
    request.xField = fieldOf(m_xBox);
    for (int i = 0; i < m_yList->count(); ++i)
        if (m_yList->item(i)->checkState() == Qt::Checked)
            request.yFields.append(i);
    request.splitField = fieldOf(m_splitBox);
    QStringList shown;
    for (QComboBox* box : {m_trackBox, m_raceTypeBox, m_driverBox})
        if (const int field = fieldOf(box); field >= 0) {
            request.filters.append({field, box->currentText()});
            shown.append(box->currentText());
        }
    // The list holds driver names: it only picks series split by a driver column.
    const bool byDriver = driverNames.contains(fields.value(request.splitField), Qt::CaseInsensitive);
    m_listedOnly->setEnabled(byDriver);
    if (m_listedOnly->isChecked() && byDriver)
        // Split as the import splits it: `"Night: Rider"` is the driver Night: Rider.
        for (const QString& name : splitDriverNames(m_choices.driverList()))
            if (!name.trimmed().isEmpty())
                request.onlySplitValues.append(name);
    QList<int> choiceFields;
    if (m_choicesStale)
        for (const QStringList* names : {&trackNames, &raceTypeNames, &driverNames})
            if (const int field = firstOf(fields, *names); field >= 0)
                choiceFields.append(field);

    QStringList notes;
    if (!m_openResult.isOpen())
        notes.append(QStringLiteral("Run a statement in the main window: its result is charted here."));
    else if (request.yFields.isEmpty())
        notes.append(QStringLiteral("Check one or more Y columns to draw."));
    const QString title = shown.isEmpty() ? QString() : QStringLiteral(" — ") + shown.join(QStringLiteral(", "));

    dropJob();
    m_job = std::make_unique<ChartJob>(m_openResult, request, choiceFields, thinningColumns(), chartdrawing::mostSeries,
                                       this);
    connect(m_job.get(), &ChartJob::finished, this,
            [this, notes, title](const chartdata::Chart& chart, const QList<QStringList>& choices) {
                guarded([&] {
                    m_view->chart()->setTitle(chart.yTitle + title);
                    present(chart, choices, notes);
                });
            });
    m_job->start();
    if (m_job->isRunning())
        m_note->setText(QStringLiteral("Reading %L1 rows for the chart…").arg(m_openResult.recordCount()));
}

void ChartWindow::present(const chartdata::Chart& chart, const QList<QStringList>& choices, QStringList notes)
{
    if (m_choicesStale && !choices.isEmpty())
        fillChoices(choices);
    m_chart = chart;
    const bool drawnAsLines = chartdrawing::draw(*m_view->chart(), m_chart,
                                                 m_styleBox->currentIndex() == 0 ? chartdrawing::Style::Lines
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
    m_note->setText(notes.join(QLatin1Char(' ')));
    Q_EMIT drawn();
}

// The one-click charts start from the grid's current row and need its driver and track.
bool ChartWindow::oneClickReady(int row)
{
    const QStringList fields = m_openResult.isOpen() ? m_openResult.fieldNames() : QStringList();
    const bool columns = fields.contains(dateName) && fields.contains(timeName) && firstOf(fields, trackNames) >= 0
                         && firstOf(fields, driverNames) >= 0;
    if (!columns) {
        m_note->setText(QStringLiteral("This chart needs a result with the columns driver, trackname, date and "
                                     "besttime, such as the default statement's. Run it, then try again."));
        return false;
    }
    if (row < 0) {
        m_note->setText(QStringLiteral("Select a row of the result in the main window first: its driver and "
                                     "track are charted."));
        return false;
    }
    return true;
}

// Best times over dates, split by the given column or not at all.
void ChartWindow::chooseForTimes(int split)
{
    const QStringList fields = m_openResult.fieldNames();
    m_xBox->setCurrentIndex(int(fields.indexOf(dateName)));
    const int y = int(fields.indexOf(timeName));
    for (int i = 0; i < m_yList->count(); ++i)
        m_yList->item(i)->setCheckState(i == y ? Qt::Checked : Qt::Unchecked);
    m_splitBox->setCurrentIndex(split + 1);
}

// The filter shows the row's value of its column, or all rows when the result lacks the column.
void ChartWindow::setFilter(QComboBox* box, int row)
{
    const int field = firstOf(m_openResult.fieldNames(), box == m_trackBox      ? trackNames
                                                      : box == m_raceTypeBox ? raceTypeNames
                                                                             : driverNames);
    if (row < 0 || field < 0) {
        box->setCurrentIndex(0);
        return;
    }
    // The box may not list the result's values yet: they are read with the chart.
    const QString value = m_openResult.valueAt(row, field).toString();
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
    const int row = m_openResult.currentRow();
    if (!oneClickReady(row))
        return;
    m_filling = true;
    chooseForTimes(listedDrivers ? firstOf(m_openResult.fieldNames(), driverNames) : -1);
    setFilter(m_trackBox, row);
    setFilter(m_raceTypeBox, row);
    setFilter(m_driverBox, listedDrivers ? -1 : row);
    m_listedOnly->setChecked(listedDrivers);
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
    databasefiles::refuseOpenDatabaseFile(m_openResult.connection(), path, QStringLiteral("replaced by the chart"));
    m_lastSaved = path;
    if (!chartdrawing::save(*m_view, path, m_doubleSize->isChecked()))
        Dialogs::instance().message(caption,
                                    QStringLiteral("The chart could not be written to %1. Choose a folder you "
                                                   "may write to.")
                                        .arg(QDir::toNativeSeparators(path)),
                                    Dialogs::Icon::Error);
}
