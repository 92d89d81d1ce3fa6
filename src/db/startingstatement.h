#pragma once

#include <QString>

// The statement the SQL editor starts with: every stored result with its driver's avatar and
// level, by track, multiplayer first, fastest first. The indexes a new database gets are written
// to serve its order (see schema.cpp), so its first rows come without a sort.
QString startingStatement();
