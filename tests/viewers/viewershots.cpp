// Pictures of the three viewers showing the simulator's data, for a look at how the pages come
// out: viewershots [FOLDER] writes viewers-leaderboard.png, viewers-driverinfo.png and
// viewers-events.png into FOLDER (default /tmp).

#include "fakeshell.h"
#include "support/simulator.h"
#include "support/temphome.h"

#include "common/ui/radiogroup.h"
#include "viewers/ui/htmlview.h"
#include "viewers/ui/leaderboardwindow.h"
#include "viewers/ui/driverinfowindow.h"
#include "viewers/ui/eventswindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTest>

#include <cstdio>

namespace {

// Plain numbered discs stand in for the avatar bitmaps.
void drawAvatars(const TempHome& home)
{
    QDir(home.path()).mkpath("avatars");
    for (int number = 1; number <= 24; ++number) {
        QImage avatar(48, 48, QImage::Format_RGB32);
        avatar.fill(Qt::white);
        QPainter painter(&avatar);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(QColor::fromHsv(number * 15 % 360, 160, 210));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(2, 2, 44, 44);
        painter.setPen(Qt::white);
        painter.setFont(QFont("DejaVu Sans", 16, QFont::Bold));
        painter.drawText(avatar.rect(), Qt::AlignCenter, QString::number(number));
        painter.end();
        avatar.save(home.file(QString("avatars/%1.bmp").arg(number)), "BMP");
    }
}

bool save(QWidget& window, const QString& file)
{
    QTest::qWait(200);
    const bool saved = window.grab().save(file);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(file));
    return saved;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp");
    TempHome home;
    drawAvatars(home);
    Simulator sim({"--records-per-track", "8"});
    FakeShell shell;
    shell.base = sim.base();
    shell.drivers = QStringLiteral("kestrel,pilot000,pilot001,O'Malley,Jürgen Größ,Fast & Loose");

    bool ok = true;
    LeaderboardWindow leaderboard(shell);
    leaderboard.show();
    leaderboard.findChild<RadioGroup*>("periodGroup")->setItemIndex(0);
    leaderboard.findChild<RadioGroup*>("playerMode")->setItemIndex(0);
    leaderboard.findChild<QComboBox*>("trackList")->setCurrentIndex(39);
    QTest::keyClick(leaderboard.findChild<QComboBox*>("trackList"), Qt::Key_Down);
    ok = save(leaderboard, folder + "/viewers-leaderboard.png") && ok;

    DriverInfoWindow driverInfo(shell);
    driverInfo.show();
    QTest::keyClicks(driverInfo.findChild<QLineEdit*>("driverNameEdit"), "kestrel");
    QTest::mouseClick(driverInfo.findChild<QPushButton*>("okButton"), Qt::LeftButton);
    ok = save(driverInfo, folder + "/viewers-driverinfo.png") && ok;

    EventsWindow events(shell);
    events.show();
    ok = QTest::qWaitFor([&] { return !events.findChild<HtmlView*>("page")->toPlainText().isEmpty(); }, 5000) && ok;
    ok = save(events, folder + "/viewers-events.png") && ok;
    return ok ? 0 : 1;
}
