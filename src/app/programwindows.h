#pragma once

#include "app/mainwindow.h"
#include "import/ui/importwindow.h"
#include "viewers/ui/leaderboardwindow.h"
#include "viewers/ui/driverinfowindow.h"
#include "viewers/ui/eventswindow.h"

// The program's five windows, created once in this order and living until the end: the main
// window restores the settings before the viewers read the shard for their captions.
struct ProgramWindows {
    ProgramWindows() { main.attachWindows(&importWindow, &leaderboard, &driverInfo, &events); }

    // A logout or a kill (SIGTERM, SIGHUP): what the close buttons do, an import under way stopped
    // first, then the main window closed with its settings saved.
    void closeAtSignal()
    {
        if (importWindow.isVisible())
            importWindow.close();
        main.close();
    }

    MainWindow main;
    ImportWindow importWindow{&main};
    LeaderboardWindow leaderboard{main};
    DriverInfoWindow driverInfo{main};
    EventsWindow events{main};
};
