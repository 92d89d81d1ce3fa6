#pragma once

#include "app/tform1.h"
#include "import/tform2.h"
#include "viewers/tform3.h"
#include "viewers/tform4.h"
#include "viewers/tform5.h"

// The program's five windows, created once in this order and living until the end: the main
// window restores the settings before the viewers read the shard for their captions.
struct ProgramWindows {
    ProgramWindows() { main.attachWindows(&progress, &leaderboard, &driverInfo, &events); }

    TForm1 main;
    TForm2 progress{&main};
    TForm3 leaderboard{main};
    TForm4 driverInfo{main};
    TForm5 events{main};
};
