#pragma once

// Ends the test program with a message naming the test when one test runs longer than its time
// (RACR_TEST_TIMEOUT seconds, default 60), so a hang fails in seconds and says where, instead of
// waiting for CTest's time-out of the whole program.
void installTestWatchdog();

// For helpers that start a program: that program is killed when the test program ends, however
// it ends (a watchdog exit, a crash, CTest's kill), so no simulator or X server stays behind.
void endWithParent();
