// The player's command line: quello-player [--card DIR] [MOVIE|FOLDER]... | --library DIR
// [--db URL]
#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace quello {
namespace {

// The arguments, then the card, the paths, the library and whether help is asked for; "!" as
// the card: the arguments are refused.
TEST(PlayerCommandLine, ArgumentsTable) {
    using Case = std::tuple<QStringList, QString, QStringList, QString, bool>;
    const Case cases[] = {
        {{}, "", {}, "", false},
        {{"--library", "/l", "--card", "/c"}, "/c", {}, "/l", false},
        {{"--library=/l"}, "", {}, "/l", false},
        {{"--library"}, "!", {}, "", false},
        {{"--library="}, "!", {}, "", false},
        {{"--library", "/l", "a.MOV"}, "!", {"a.MOV"}, "/l", false},
        {{"--library", "/l", "--db", "postgresql://u@nas/cars"}, "", {}, "/l", false},
        {{"--db=postgresql://u@/cars", "--library=/l"}, "", {}, "/l", false},
        {{"--db", "postgresql://u@nas/cars"}, "!", {}, "", false}, // no library
        {{"--library", "/l", "--db", "postgresql://u:pw@nas/c"}, "!", {}, "/l", false},
        {{"--library", "/l", "--db"}, "!", {}, "/l", false},
        {{"--card", "/media/card"}, "/media/card", {}, "", false},
        {{"--card=/c", "a.MOV", "dir"}, "/c", {"a.MOV", "dir"}, "", false},
        {{"x.MOV", "--card", "/c", "y.MOV"}, "/c", {"x.MOV", "y.MOV"}, "", false},
        {{"--card"}, "!", {}, "", false},
        {{"--card", ""}, "!", {}, "", false},
        {{"--card="}, "!", {}, "", false},
        {{"--bogus"}, "!", {}, "", false},
        {{"-h"}, "", {}, "", true},
        {{"--help", "a.MOV"}, "", {"a.MOV"}, "", true},
        {{"--", "--card", "-x.MOV"}, "", {"--card", "-x.MOV"}, "", false},
        {{"-"}, "", {"-"}, "", false},
    };
    for (const auto& [args, card, paths, library, help] : cases) {
        const PlayerOptions o = ParsePlayerArguments(args);
        EXPECT_EQ(std::tuple(o.error.isEmpty() ? o.cardRoot : QStringLiteral("!"), o.paths,
                             o.library, o.help),
                  std::tie(card, paths, library, help))
            << args.join(' ').toStdString();
    }
}

} // namespace
} // namespace quello
