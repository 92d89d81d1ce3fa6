#include "importwindows.h"

#include <QDeadlineTimer>
#include <QTest>
#include <QTimer>

void whileShown(ImportWindow& progress, QPushButton* start, std::function<bool()> step)
{
    QTimer timer;
    const QDeadlineTimer deadline(60'000);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (step()) {
            timer.stop();
        } else if (deadline.hasExpired()) {
            timer.stop();
            ADD_FAILURE() << "the window never reached the expected state";
            progress.cancelFlag = -1;
            QMetaObject::invokeMethod(&progress, [&progress] { progress.close(); }, Qt::QueuedConnection);
        }
    });
    timer.start(5);
    QTest::mouseClick(start, Qt::LeftButton);
}

