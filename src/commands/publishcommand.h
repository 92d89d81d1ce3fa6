#pragma once

namespace commandline {
struct Command;
}

// "racr publish DIR [options]": the club pages of the program folder's database (or --database's)
// as a static site in DIR.
const commandline::Command& publishCommand();
