// A long page or report is shown from its top, and its scroll bar says so at a glance.

#include "fakeshell.h"
#include "support/findnamed.h"
#include "support/simulator.h"
#include "support/temphome.h"

#include "viewers/ui/htmlview.h"
#include "viewers/ui/leaderboardwindow.h"
#include "viewers/ui/driverinfowindow.h"

#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QTest>
#include <gtest/gtest.h>

namespace {

double meanGrey(const QImage& image, const QRect& area)
{
    double sum = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            sum += qGray(image.pixel(x, y));
    return sum / (area.width() * area.height());
}

// The text is at its top, and so is the thumb as drawn: the part of the track that stands out,
// darker than the empty track below it. (A thumb drawn lighter than its track, next to a white
// page, reads the other way round: the grey rest of the track looks like a thumb at the bottom.)
void expectShownFromTheTop(QAbstractScrollArea* area)
{
    QScrollBar* bar = area->verticalScrollBar();
    ASSERT_LT(bar->minimum(), bar->maximum()) << "the text fits: nothing to scroll";
    EXPECT_EQ(bar->value(), bar->minimum());

    QStyleOptionSlider option;
    option.initFrom(bar);
    option.subControls = QStyle::SC_All;
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    option.upsideDown = bar->invertedAppearance();
    const QRect thumb = bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, bar);
    const QRect groove = bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarGroove, bar);
    EXPECT_EQ(thumb.top(), groove.top());
    ASSERT_GT(groove.bottom() - thumb.bottom(), 10);

    const QImage drawn = bar->grab().toImage();
    const double thumbGrey = meanGrey(drawn, thumb.adjusted(3, 3, -3, -3));
    const double trackGrey = meanGrey(drawn, QRect(QPoint(thumb.left() + 3, thumb.bottom() + 3),
                                                   QPoint(thumb.right() - 3, groove.bottom() - 3)));
    EXPECT_LT(thumbGrey, trackGrey - 30) << "thumb " << thumbGrey << ", empty track " << trackGrey;
}

} // namespace

TEST(ScrollBars, ALongLeaderboardPageIsShownFromItsTop)
{
    Simulator sim({"--records-per-track", "30"});
    FakeShell shell;
    shell.base = sim.base();
    LeaderboardWindow form(shell);
    form.show();
    named<QComboBox>(form, "trackList")->setCurrentIndex(39);
    QTest::keyClick(named<QComboBox>(form, "trackList"), Qt::Key_Down);
    HtmlView* page = named<HtmlView>(form, "page");
    ASSERT_TRUE(page->toPlainText().startsWith("LION'S CHALLENGE")) << qPrintable(page->toPlainText());
    expectShownFromTheTop(page);
}

TEST(ScrollBars, ALongDriverReportIsShownFromItsTop)
{
    TempHome home;
    QDir(home.path()).mkpath("avatars");
    for (int image = 1; image <= 24; ++image) {
        QImage avatar(48, 48, QImage::Format_RGB32);
        avatar.fill(Qt::gray);
        ASSERT_TRUE(avatar.save(home.file(QString("avatars/%1.bmp").arg(image)), "BMP"));
    }
    Simulator sim;
    FakeShell shell;
    shell.base = sim.base();
    DriverInfoWindow form(shell);
    form.show();
    QTest::keyClicks(named<QLineEdit>(form, "driverNameEdit"), "kestrel");
    QTest::mouseClick(named<QPushButton>(form, "okButton"), Qt::LeftButton);
    QPlainTextEdit* report = named<QPlainTextEdit>(form, "driverReport");
    ASSERT_TRUE(report->toPlainText().endsWith(QString(133, '-'))) << qPrintable(report->toPlainText());
    expectShownFromTheTop(report);
}
