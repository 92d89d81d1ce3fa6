#pragma once

// Qt reads and writes text as UTF-8 and, finding the environment's locale with another character
// type (a container, a minimal install, cron: "C"), switches to a UTF-8 one and says so on standard
// error at every start. The program makes that choice itself, quietly, before Qt starts: in the
// environment, since Qt applies the environment's locale again, and for the programs it starts.
// Only the character type changes; the other categories keep what the environment gave them.
void useUtf8CharacterType();
