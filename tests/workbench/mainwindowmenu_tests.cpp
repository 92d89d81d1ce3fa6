// The main window's Export & Import menu.

#include "app/mainwindow.h"
#include "db/connection.h"
#include "support/fakedialogs.h"
#include "support/findnamed.h"
#include "support/temphome.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(MainWindowMenu, ExportAndImportComesFirst)
{
    TempHome home;
    FakeDialogs dialogs;
    MainWindow main;
    QMenu* menu = named<QMenuBar>(main, "mainMenu")->actions().value(0)->menu();
    ASSERT_EQ(menu, named<QMenu>(main, "exportImportMenu"));
    EXPECT_EQ(menu->title(), "Export && Import");
    const QList<QAction*> entries = menu->actions();
    ASSERT_EQ(entries.size(), 5);
    EXPECT_EQ(entries[0]->text(), "Export data to csv file");
    EXPECT_TRUE(entries[1]->isSeparator());
    EXPECT_EQ(entries[2]->text(), "Import from old database");
    EXPECT_TRUE(entries[3]->isSeparator());
    EXPECT_EQ(entries[4]->text(), "Publish Club Pages…");
}

TEST(MainWindowMenu, PublishClubPagesMakesASiteNamingEachRecordHolder)
{
    TempHome home;
    FakeDialogs dialogs;
    MainWindow main;
    main.connection().open();
    QSqlQuery insert(main.connection().database());
    ASSERT_TRUE(insert.exec("INSERT INTO RACR (driver, car, date, trackid, multiplayer, besttime, shard)"
                            " VALUES ('Kestrel', 'Falk Roadster S', '2011-06-30  10:00:00', 299, 1, '86.4', 'APEX')"));
    QTemporaryDir parent;
    dialogs.folderAnswer = parent.filePath("club");
    named<QAction>(main, "publishAction")->trigger();

    QFile index(parent.filePath("club/index.html"));
    ASSERT_TRUE(index.open(QIODevice::ReadOnly)) << "no site was written";
    const QString page = QString::fromUtf8(index.readAll());
    EXPECT_TRUE(page.contains(">Kestrel</a>")) << "the record holder, linked to their page";
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith("Published 4 page(s) (1 track(s), 1 driver(s))"))
        << dialogs.messages[0].text.toStdString();
}
