// How the windows look on the user's desktop: readable under a dark theme, and labels that end
// before the control beside them in whatever font stands in for the dialog font.

#include "app/linklabel.h"
#include "support/findnamed.h"
#include "app/programwindows.h"
#include "common/ui/periodchoice.h"
#include "common/ui/radiogroup.h"
#include "support/fakedialogs.h"
#include "support/findnamed.h"
#include "support/temphome.h"
#include "viewers/eventspage.h"
#include "viewers/ui/htmlview.h"
#include "webservice/xmldocument.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The desktop's palette for the length of a test.
class DesktopPalette {
public:
    explicit DesktopPalette(const QPalette& palette) : m_previous(QApplication::palette())
    {
        QApplication::setPalette(palette);
    }
    ~DesktopPalette() { QApplication::setPalette(m_previous); }

private:
    QPalette m_previous;
};

QPalette darkTheme(const QColor& link)
{
    QPalette dark(QColor(0x35, 0x35, 0x35));
    for (const auto role : {QPalette::Window, QPalette::Button})
        dark.setColor(role, QColor(0x35, 0x35, 0x35));
    for (const auto role : {QPalette::Base, QPalette::AlternateBase})
        dark.setColor(role, QColor(0x20, 0x20, 0x20));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(role, QColor(0xe0, 0xe0, 0xe0));
    dark.setColor(QPalette::Link, link);
    dark.setColor(QPalette::LinkVisited, link);
    return dark;
}

bool holdsColour(const QImage& image, const QColor& colour)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == colour)
                return true;
    return false;
}

int darkestGrey(const QImage& image, const QRect& area)
{
    int darkest = 255;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            darkest = qMin(darkest, qGray(image.pixel(x, y)));
    return darkest;
}

int leftIn(QWidget* window, const QWidget* control)
{
    return control->mapTo(window, QPoint(0, 0)).x();
}

// Where the drawn text of an option ends, in its window's coordinates (trailing blanks draw
// nothing).
int textEnd(QWidget* window, const QRadioButton* item)
{
    QStyleOptionButton option;
    option.initFrom(item);
    option.text = item->text();
    const QRect contents = item->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, item);
    QString shown = item->text();
    while (shown.endsWith(' '))
        shown.chop(1);
    return item->mapTo(window, contents.topLeft()).x() + QFontMetrics(item->font()).horizontalAdvance(shown);
}

int textEnd(QWidget* window, const QLabel* label)
{
    return label->mapTo(window, label->contentsRect().topLeft()).x()
           + QFontMetrics(label->font()).horizontalAdvance(label->text());
}

} // namespace

TEST(Appearance, DarkDesktopThemeKeepsLinksAndPagesReadable)
{
    TempHome home;
    FakeDialogs dialogs;
    const QColor link(0x7f, 0xb4, 0xff);
    DesktopPalette theme(darkTheme(link));
    ProgramWindows w;
    w.main.show();

    // The underline is drawn in the theme's own link colour, which reads on its dark window.
    EXPECT_TRUE(holdsColour(named<LinkLabel>(w.main, "driverInfoLink")->grab().toImage(), link));
    EXPECT_FALSE(holdsColour(named<LinkLabel>(w.main, "driverInfoLink")->grab().toImage(), QColor(Qt::blue)));

    // Pages are drawn on white with black text, as a browser does: the grey header cells of the
    // events table stay readable.
    racr::XmlDocument answer;
    answer.load(R"(<list><worldLeaderboardEvent eventName="BAY BRIDGE" eventModeName="Circuit" minTier="0" maxTier="999"/></list>)");
    HtmlView* eventsPage = named<HtmlView>(w.events, "page");
    eventsPage->ShowHtmlText(racr::eventsPage(answer));
    const QImage page = eventsPage->viewport()->grab().toImage();
    EXPECT_EQ(page.pixelColor(page.width() - 4, page.height() - 4).name().toStdString(), "#ffffff");
    QTextCursor header = eventsPage->document()->find(QStringLiteral("Trackname"));
    ASSERT_FALSE(header.isNull());
    header.setPosition(header.selectionStart());
    const QRect headerText = eventsPage->cursorRect(header).adjusted(0, 0, 50, 0) & page.rect();
    EXPECT_LT(darkestGrey(page, headerText), 60);

    const QImage blank = named<HtmlView>(w.leaderboard, "page")->viewport()->grab().toImage();
    EXPECT_EQ(blank.pixelColor(blank.width() / 2, blank.height() / 2).name().toStdString(), "#ffffff");
}

TEST(Appearance, LabelsEndBeforeTheControlsBesideThem)
{
    TempHome home;
    FakeDialogs dialogs;
    ProgramWindows w;
    w.main.show();
    QTest::mouseClick(named<LinkLabel>(w.main, "leaderboardLink"), Qt::LeftButton);
    QTest::mouseClick(named<LinkLabel>(w.main, "driverInfoLink"), Qt::LeftButton);
    ASSERT_TRUE(w.leaderboard.isVisible() && w.driverInfo.isVisible());

    const auto* importType = named<RadioGroup>(w.main, "periodGroup");
    const auto* daysEdit = named<QLineEdit>(w.main, "daysEdit");
    const auto* weekEdit = named<QLineEdit>(w.main, "weekEdit");
    const auto* leaderboardPeriod = named<RadioGroup>(w.leaderboard, "periodGroup");
    auto* leaderboardDays = named<QLineEdit>(w.leaderboard, "daysEdit");
    auto* leaderboardWeek = named<QLineEdit>(w.leaderboard, "weekEdit");
    auto* driverNameLabel = named<QLabel>(w.driverInfo, "driverNameLabel");
    auto* driverNameEdit = named<QLineEdit>(w.driverInfo, "driverNameEdit");
    const struct {
        const char* label;
        int end;
        int control;
    } beside[] = {
        {"main window: minus", textEnd(&w.main, importType->item(1)), leftIn(&w.main, daysEdit)},
        {"main window: weeknum.", textEnd(&w.main, importType->item(2)), leftIn(&w.main, weekEdit)},
        {"leaderboard: minus", textEnd(&w.leaderboard, leaderboardPeriod->item(1)), leftIn(&w.leaderboard, leaderboardDays)},
        {"leaderboard: weeknum.", textEnd(&w.leaderboard, leaderboardPeriod->item(2)),
         leftIn(&w.leaderboard, leaderboardWeek)},
        {"driver info: Driver Name:", textEnd(&w.driverInfo, driverNameLabel), leftIn(&w.driverInfo, driverNameEdit)},
    };
    for (const auto& pair : beside)
        EXPECT_GE(pair.control - pair.end, 3) << pair.label << ": text ends at " << pair.end << ", control at " << pair.control;

    // The controls keep their places.
    EXPECT_EQ(leftIn(&w.main, daysEdit), 944);
    EXPECT_EQ(leaderboardWeek->pos(), QPoint(146, 76));
    EXPECT_EQ(driverNameLabel->pos(), QPoint(16, 16));
    EXPECT_EQ(driverNameEdit->pos(), QPoint(80, 16));
}
