#include "common/utf8locale.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>
#include <map>
#include <optional>
#include <string>

namespace {

const char* const kLocaleVariables[] = {"LANG", "LC_ALL", "LC_CTYPE", "LC_NUMERIC", "LC_TIME", "LC_COLLATE",
                                        "LC_MONETARY", "LC_MESSAGES", "LC_PAPER", "LC_NAME", "LC_ADDRESS",
                                        "LC_TELEPHONE", "LC_MEASUREMENT", "LC_IDENTIFICATION"};

std::optional<std::string> variable(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

// Each case sets the locale variables it names and nothing else, as a shell's `env -i` would, and
// gives the process its environment and locale back afterwards.
class CharacterType : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_locale = std::setlocale(LC_ALL, nullptr);
        for (const char* name : kLocaleVariables)
            m_saved[name] = variable(name);
    }
    void TearDown() override
    {
        for (const auto& [name, value] : m_saved) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
        std::setlocale(LC_ALL, m_locale.c_str());
    }

    static void environment(const std::map<std::string, std::string>& variables)
    {
        for (const char* name : kLocaleVariables)
            ::unsetenv(name);
        for (const auto& [name, value] : variables)
            ::setenv(name.c_str(), value.c_str(), 1);
    }

    // What Qt finds when it applies the environment's locale at its start.
    static std::string codesetAsQtSeesIt()
    {
        EXPECT_NE(std::setlocale(LC_ALL, ""), nullptr);
        return nl_langinfo(CODESET);
    }

private:
    std::string m_locale;
    std::map<std::string, std::optional<std::string>> m_saved;
};

} // namespace

TEST_F(CharacterType, AnAsciiLocaleGetsUtf8CharactersAndKeepsItsOtherCategories)
{
    // Nothing set (cron, env -i), LANG=C, and LC_ALL, which outranks the character type's variable.
    for (const std::map<std::string, std::string>& variables :
         {std::map<std::string, std::string>{}, {{"LANG", "C"}, {"LC_TIME", "C.UTF-8"}},
          {{"LC_ALL", "POSIX"}, {"LC_CTYPE", "C"}, {"LC_TIME", "C.UTF-8"}}}) {
        environment(variables);
        const std::string time = variables.count("LC_ALL") ? "C" : variables.count("LC_TIME") ? "C.UTF-8" : "C";
        useUtf8CharacterType();
        EXPECT_EQ(codesetAsQtSeesIt(), "UTF-8") << variables.size();
        EXPECT_EQ(std::string(std::setlocale(LC_TIME, nullptr)), time) << variables.size();
        EXPECT_EQ(std::string(std::setlocale(LC_MESSAGES, nullptr)), "C") << variables.size();
        EXPECT_EQ(variable("LC_ALL"), std::nullopt);
    }
}

TEST_F(CharacterType, AUtf8LocaleIsLeftAsItIs)
{
    environment({{"LANG", "C.UTF-8"}, {"LC_NUMERIC", "C"}});
    useUtf8CharacterType();
    EXPECT_EQ(variable("LC_CTYPE"), std::nullopt);
    EXPECT_EQ(variable("LANG"), "C.UTF-8");
    EXPECT_EQ(codesetAsQtSeesIt(), "UTF-8");
    EXPECT_EQ(std::string(std::setlocale(LC_NUMERIC, nullptr)), "C");
}

TEST_F(CharacterType, ALocaleTheSystemLacksBecomesCWithUtf8Characters)
{
    // A minimal install without the locale the user's LANG names: everything would be "C" anyway.
    environment({{"LANG", "xx_XX.UTF-8"}});
    useUtf8CharacterType();
    EXPECT_EQ(codesetAsQtSeesIt(), "UTF-8");
    EXPECT_EQ(std::string(std::setlocale(LC_MESSAGES, nullptr)), "C.UTF-8");
}
