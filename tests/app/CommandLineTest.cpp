// The player's command line: quello-player [--card DIR] [MOVIE|FOLDER]...
#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace quello {
namespace {

TEST(PlayerCommandLine, ArgumentsTable) {
    const struct {
        QStringList args;
        QString card;
        QStringList paths;
        bool help;
        bool error;
    } cases[] = {
        {{}, "", {}, false, false},
        {{"--card", "/media/card"}, "/media/card", {}, false, false},
        {{"--card=/c", "a.MOV", "dir"}, "/c", {"a.MOV", "dir"}, false, false},
        {{"x.MOV", "--card", "/c", "y.MOV"}, "/c", {"x.MOV", "y.MOV"}, false, false},
        {{"--card"}, "", {}, false, true},
        {{"--card", ""}, "", {}, false, true},
        {{"--card="}, "", {}, false, true},
        {{"--bogus"}, "", {}, false, true},
        {{"-h"}, "", {}, true, false},
        {{"--help", "a.MOV"}, "", {"a.MOV"}, true, false},
        {{"--", "--card", "-x.MOV"}, "", {"--card", "-x.MOV"}, false, false},
        {{"-"}, "", {"-"}, false, false},
    };
    for (const auto& c : cases) {
        const PlayerOptions o = ParsePlayerArguments(c.args);
        const QString name = c.args.join(' ');
        EXPECT_EQ(o.error.isEmpty(), !c.error) << name.toStdString();
        if (c.error)
            continue;
        EXPECT_EQ(o.cardRoot, c.card) << name.toStdString();
        EXPECT_EQ(o.paths, c.paths) << name.toStdString();
        EXPECT_EQ(o.help, c.help) << name.toStdString();
    }
}

} // namespace
} // namespace quello
