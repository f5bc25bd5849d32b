// The player's command line: quello-player [--card DIR] [MOVIE|FOLDER]...
#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace quello {
namespace {

// The arguments, then the card, the paths and whether help is asked for; "!" as the card:
// the arguments are refused.
TEST(PlayerCommandLine, ArgumentsTable) {
    using Case = std::tuple<QStringList, QString, QStringList, bool>;
    const Case cases[] = {
        {{}, "", {}, false},
        {{"--card", "/media/card"}, "/media/card", {}, false},
        {{"--card=/c", "a.MOV", "dir"}, "/c", {"a.MOV", "dir"}, false},
        {{"x.MOV", "--card", "/c", "y.MOV"}, "/c", {"x.MOV", "y.MOV"}, false},
        {{"--card"}, "!", {}, false},
        {{"--card", ""}, "!", {}, false},
        {{"--card="}, "!", {}, false},
        {{"--bogus"}, "!", {}, false},
        {{"-h"}, "", {}, true},
        {{"--help", "a.MOV"}, "", {"a.MOV"}, true},
        {{"--", "--card", "-x.MOV"}, "", {"--card", "-x.MOV"}, false},
        {{"-"}, "", {"-"}, false},
    };
    for (const auto& [args, card, paths, help] : cases) {
        const PlayerOptions o = ParsePlayerArguments(args);
        EXPECT_EQ(std::tuple(o.error.isEmpty() ? o.cardRoot : QStringLiteral("!"), o.paths, o.help),
                  std::tie(card, paths, help))
            << args.join(' ').toStdString();
    }
}

} // namespace
} // namespace quello
