#pragma once

#include "app/mainwindow.h"
#include "import/importwindow.h"
#include "viewers/leaderboardwindow.h"
#include "viewers/driverinfowindow.h"
#include "viewers/eventswindow.h"

// The program's five windows, created once in this order and living until the end: the main
// window restores the settings before the viewers read the shard for their captions.
struct ProgramWindows {
    ProgramWindows() { main.attachWindows(&progress, &leaderboard, &driverInfo, &events); }

    // A logout or a kill (SIGTERM, SIGHUP): what the close buttons do, an import under way stopped
    // first, then the main window closed with its settings saved.
    void closeAtSignal()
    {
        if (progress.isVisible())
            progress.close();
        main.close();
    }

    MainWindow main;
    ImportWindow progress{&main};
    LeaderboardWindow leaderboard{main};
    DriverInfoWindow driverInfo{main};
    EventsWindow events{main};
};
