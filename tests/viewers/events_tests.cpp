#include "support/fakeservice.h"
#include "support/findnamed.h"
#include "fakeshell.h"
#include "support/simulator.h"
#include "viewertesting.h"

#include "common/error.h"
#include "viewers/eventspage.h"
#include "viewers/ui/htmlview.h"
#include "viewers/ui/eventswindow.h"
#include "webservice/xmldocument.h"

#include <QAccessible>
#include <QTest>
#include <QTextDocument>
#include <QTextTable>
#include <gtest/gtest.h>

namespace {

// The window's page, found by its name.
HtmlView* shownPage(const EventsWindow& form)
{
    return named<HtmlView>(form, "page");
}

const std::string kEventsPath = "/StatsAPI/ws/game/racr/leaderboards/events";

// The table's rows as a reader sees them, cell by cell.
QList<QStringList> tableRows(const QString& html)
{
    QTextDocument document;
    document.setHtml(html);
    QList<QStringList> rows;
    for (QTextFrame* frame : document.rootFrame()->childFrames()) {
        auto* table = qobject_cast<QTextTable*>(frame);
        for (int row = 0; table && row < table->rows(); ++row) {
            QStringList cells;
            for (int column = 0; column < table->columns(); ++column) {
                QTextCursor cursor = table->cellAt(row, column).firstCursorPosition();
                cursor.setPosition(table->cellAt(row, column).lastCursorPosition().position(), QTextCursor::KeepAnchor);
                cells.append(cursor.selectedText().replace(QChar(0x00A0), ' ').trimmed());
            }
            rows.append(cells);
        }
    }
    return rows;
}

QList<QStringList> tableOf(const QByteArray& answer)
{
    racr::XmlDocument document;
    document.load(answer);
    return tableRows(racr::eventsPage(document));
}

QString event(const char* name, const char* mode, int minTier, int maxTier)
{
    return QString(R"(<worldLeaderboardEvent eventName="%1" eventModeName="%2" minTier="%3" maxTier="%4"/>)")
        .arg(QString(name).toHtmlEscaped(), mode)
        .arg(minTier)
        .arg(maxTier);
}

const QStringList kHeader{"", "Trackname", "Tracktype", "Class"};

// Waits for `expected` requests, then a little longer for any that should not come.
int requestsMade(const FakeService& service, int expected)
{
    // Too few requests show in the count the caller compares.
    if (QTest::qWaitFor([&] { return service.requests().size() >= expected; }, 5000))
        QTest::qWait(200);
    return int(service.requests().size());
}

} // namespace

TEST(EventsPage, ClassLettersAndOrderByTrackName)
{
    const QString answer = "<list>" + event("ZED", "Circuit", 0, 249) + event("OCEAN VIEW", "Sprint", 250, 399)
                           + event("BEACON & STATION", "Drag", 400, 499) + event("LION'S CHALLENGE", "Sprint", 500, 599)
                           + event("CAMDEN HILLS", "Circuit", 600, 749) + event("BURROWS", "Speedtrap", 750, 999)
                           + event("ALPHA", "Circuit", 0, 999) + event("MAIN STREET", "Drag", 0, 300) + "</list>";
    EXPECT_EQ(tableOf(answer.toUtf8()), (QList<QStringList>{kHeader,
                                                            {"1.", "ALPHA", "Circuit", "OPEN"},
                                                            {"2.", "BEACON & STATION", "Drag", "C"},
                                                            {"3.", "BURROWS", "Speedtrap", "S"},
                                                            {"4.", "CAMDEN HILLS", "Circuit", "A"},
                                                            {"5.", "LION'S CHALLENGE", "Sprint", "B"},
                                                            {"6.", "MAIN STREET", "Drag", ""},
                                                            {"7.", "OCEAN VIEW", "Sprint", "D"},
                                                            {"8.", "ZED", "Circuit", "E"}}));
}

TEST(EventsPage, EmptyOrForeignAnswersGiveTheHeaderRowOnly)
{
    EXPECT_EQ(tableOf("<list/>"), QList<QStringList>{kHeader});
    EXPECT_EQ(tableOf("<error><code>500</code></error>"), QList<QStringList>{kHeader});
    EXPECT_THROW(tableOf("<html><body><hr></body></html>"), racr::ServiceError);
}

TEST(EventsWindow, FetchesEachTimeItIsOpenedAndNotWhenShownAgain)
{
    FakeService service({{kEventsPath, {200, ("<list>" + event("BURROWS", "Sprint", 750, 999) + "</list>").toStdString()}}});
    FakeShell shell;
    shell.base = service.base();
    shell.shard = "CHICANE";
    EventsWindow form(shell);
    EXPECT_EQ(service.requests().size(), 0);

    form.show();
    EXPECT_EQ(requestsMade(service, 1), 1);
    EXPECT_EQ(service.requests().first(), "GET /StatsAPI/ws/game/racr/leaderboards/events?shard=CHICANE");
    QTRY_VERIFY(pageText(shownPage(form)->toHtml()).contains("BURROWS"));

    // Opened again while open: only brought to the front.
    form.show();
    form.raise();
    form.activateWindow();
    EXPECT_EQ(requestsMade(service, 1), 1);

    form.hide();
    shell.shard.clear();
    form.show();
    EXPECT_EQ(requestsMade(service, 2), 2);
    EXPECT_EQ(service.requests().last(), "GET /StatsAPI/ws/game/racr/leaderboards/events?shard=");
    EXPECT_EQ(form.windowTitle(), "Daily Leaderboard Events");
}

TEST(EventsWindow, ReopenedWhileWaitingMakesNoSecondRequest)
{
    FakeService service({{kEventsPath, {200, "<list/>"}}}, 500);
    FakeShell shell;
    shell.base = service.base();
    EventsWindow form(shell);
    form.show();
    whileAnswering(service, 1, [&] {
        form.hide();
        form.show();
    });
    QTRY_COMPARE(tableRows(shownPage(form)->toHtml()), QList<QStringList>{kHeader});
    EXPECT_EQ(requestsMade(service, 1), 1);
}

TEST(EventsWindow, OpenedAgainShowsAnEmptyPageUntilTheAnswerIsIn)
{
    // Each shard has one event named after it.
    FakeService service(
        [](const FakeService::Request& request) {
            return FakeService::Reply(("<list>" + event(request.query.at("shard").c_str(), "Sprint", 0, 999) + "</list>").toStdString());
        },
        300);
    FakeShell shell;
    shell.base = service.base();
    EventsWindow form(shell);
    form.show();
    QTRY_VERIFY(pageText(shownPage(form)->toHtml()).contains("APEX"));

    form.hide();
    shell.shard = "CHICANE";
    QString whileWaiting = "(not looked at)";
    whileAnswering(service, 2, [&] { whileWaiting = shownPage(form)->toPlainText(); });
    form.show();
    QTRY_VERIFY(pageText(shownPage(form)->toHtml()).contains("CHICANE"));
    EXPECT_EQ(whileWaiting, "");
    EXPECT_FALSE(pageText(shownPage(form)->toHtml()).contains("APEX"));
}

TEST(EventsWindow, ShowsTheSimulatorsEventsOrTheErrorPage)
{
    Simulator sim;
    FakeShell shell;
    shell.base = sim.base();
    EventsWindow form(shell);
    form.show();
    QTRY_COMPARE(tableRows(shownPage(form)->toHtml()).size(), 9);
    QStringList classes;
    for (const QStringList& row : tableRows(shownPage(form)->toHtml()).mid(1))
        classes.append(row.last());
    classes.sort();
    EXPECT_EQ(classes, (QStringList{"", "A", "B", "C", "D", "E", "OPEN", "S"}));

    // A screen reader finds a document with its heading and a table: the titles as column
    // headers, each event a row whose cells hold their texts.
    QAccessibleInterface* page = QAccessible::queryAccessibleInterface(shownPage(form));
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->role(), QAccessible::Document);
    EXPECT_EQ(page->text(QAccessible::Name), "Events");
    ASSERT_EQ(page->childCount(), 2);
    EXPECT_EQ(page->child(0)->role(), QAccessible::Heading);
    EXPECT_EQ(page->child(0)->text(QAccessible::Name), "Daily Leaderboard Events");
    QAccessibleTableInterface* table = page->child(1)->tableInterface();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->rowCount(), 8);
    EXPECT_EQ(table->columnCount(), 4);
    EXPECT_EQ(table->columnDescription(1), "Trackname");
    const QList<QStringList> shown = tableRows(shownPage(form)->toHtml());
    for (int row = 0; row < 8; ++row)
        for (int column = 0; column < 4; ++column) {
            QAccessibleInterface* cell = table->cellAt(row, column);
            ASSERT_NE(cell, nullptr);
            EXPECT_EQ(cell->role(), QAccessible::Cell);
            EXPECT_EQ(cell->text(QAccessible::Name), shown[row + 1][column]);
            EXPECT_EQ(cell->tableCellInterface()->columnHeaderCells().value(0)->text(QAccessible::Name),
                      kHeader[column]);
        }

    Simulator failing({"--fault", "events=notxml"});
    shell.base = failing.base();
    form.hide();
    form.show();
    QTRY_COMPARE(shownPage(form)->toPlainText(), "Error parsing data! ");
    EXPECT_TRUE(shownPage(form)->toolTip().contains("servicebase")) << qPrintable(shownPage(form)->toolTip());
    // The reader gets the new page, not the table before.
    ASSERT_EQ(page->childCount(), 1);
    EXPECT_EQ(page->child(0)->role(), QAccessible::Paragraph);
    EXPECT_EQ(page->child(0)->text(QAccessible::Name), "Error parsing data!");
}
