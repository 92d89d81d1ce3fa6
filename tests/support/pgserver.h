#pragma once

#include <QString>

// The tests' own PostgreSQL server, started for the test run by the CTest fixture "postgres"
// (support/pgcluster.sh). Every test takes a new database of its own on it.
namespace pgtest {

// Creates a new, empty database and returns its connection URI (the socket folder as host, role
// racr). Throws std::runtime_error, failing the test, when the server is not running: a test that
// needs it never passes without it.
QString newDatabase();

} // namespace pgtest
