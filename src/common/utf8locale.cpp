#include "common/utf8locale.h"

#include <clocale>
#include <cstdlib>
#include <langinfo.h>
#include <string>
#include <strings.h>

namespace {

const char* const kUtf8 = "C.UTF-8";

bool characterTypeIsUtf8()
{
    const char* codeset = nl_langinfo(CODESET);
    return ::strcasecmp(codeset, "UTF-8") == 0 || ::strcasecmp(codeset, "utf8") == 0;
}

} // namespace

void useUtf8CharacterType()
{
    if (!std::setlocale(LC_ALL, "")) {
        // The environment names a locale this system lacks, so every category stays "C"; the same
        // with UTF-8 characters changes nothing else.
        if (std::setlocale(LC_ALL, kUtf8))
            ::setenv("LC_ALL", kUtf8, 1);
        return;
    }
    if (characterTypeIsUtf8() || !std::setlocale(LC_CTYPE, kUtf8))
        return;
    // LC_ALL outranks LC_CTYPE: its value goes to each other category, which so keeps what it had.
    if (const char* all = std::getenv("LC_ALL"); all && *all) {
        const std::string value = all;
        for (const char* category : {"LC_NUMERIC", "LC_TIME", "LC_COLLATE", "LC_MONETARY", "LC_MESSAGES", "LC_PAPER",
                                     "LC_NAME", "LC_ADDRESS", "LC_TELEPHONE", "LC_MEASUREMENT", "LC_IDENTIFICATION"})
            ::setenv(category, value.c_str(), 1);
        ::unsetenv("LC_ALL");
    }
    ::setenv("LC_CTYPE", kUtf8, 1);
}
