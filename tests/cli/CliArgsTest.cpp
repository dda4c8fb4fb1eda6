// The command line's numbers and options, and the text form scripts read.
#include "CliArgs.h"
#include "CliOutput.h"

#include <gtest/gtest.h>

TEST(CliArgs, NumbersAreDecimalOrHexadecimalAndFit32Bits) {
    struct Case {
        const char* text;
        std::optional<uint32_t> value;
    };
    const Case cases[] = {{"0", 0u},
                          {"4294967295", 0xFFFFFFFFu},
                          {"0x330D", 0x330Du},
                          {"0X1f", 0x1Fu},
                          {"4294967296", {}},
                          {"0x100000000", {}},
                          {"-1", {}},
                          {"+1", {}},
                          {"12a", {}},
                          {"0x", {}},
                          {"", {}},
                          {" 1", {}}};
    for (const Case& c : cases)
        EXPECT_EQ(ParseNumber(c.text), c.value) << c.text;
    EXPECT_EQ(ParseReal("0.5"), 0.5);
    for (const char* bad : {"0", "-1", "inf", "nan", "1s", ""})
        EXPECT_FALSE(ParseReal(bad)) << bad;
}

TEST(CliArgs, OptionsTakeTheirValuesAndUnknownOnesAreUsageErrors) {
    const CliArgs args = CliArgs::Parse({"--demo", "mem", "read", "0", "--start=0x10", "--count", "8", "--json"});
    EXPECT_EQ(args.Words(), (std::vector<std::string>{"mem", "read", "0"}));
    EXPECT_EQ(args.Number("start"), 0x10u);
    EXPECT_EQ(args.Number("count"), 8u);
    EXPECT_TRUE(args.Has("demo") && args.Has("json"));
    EXPECT_FALSE(args.Has("yes"));
    const std::vector<std::vector<std::string>> bad = {
        {"list", "--colour"}, {"mem", "read", "--count"}, {"list", "--json=1"}, {"play", "--rate", "fast"}};
    for (const auto& arguments : bad) {
        try {
            CliArgs::Parse(arguments).Number("rate");
            ADD_FAILURE() << arguments.back();
        } catch (const CliError& error) {
            EXPECT_EQ(error.Code(), kExitUsage) << arguments.back();
        }
    }
}

TEST(CliOutput, TextFormKeepsFieldOrderAndQuotesTextsWithSpaces) {
    CRecord step;
    step.Add("step", QStringLiteral("line 1")).Add("passed", true);
    CRecord board;
    board.Add("board", QJsonValue(0), QStringLiteral("0")).Add("type", QJsonValue(0x310), Hex(0x310));
    board.Add("steps", std::vector<CRecord>{step});
    EXPECT_EQ(step.Line(), QStringLiteral("step=\"line 1\" passed=yes"));
    EXPECT_EQ(board.Lines(), QStringLiteral("board: 0\ntype: 0x0310\nsteps:\n  step=\"line 1\" passed=yes\n"));
    const QJsonObject json = board.Json();
    EXPECT_EQ(json["type"].toInt(), 0x310);
    EXPECT_EQ(json["steps"][0]["passed"], QJsonValue(true));
}

TEST(CliArgs, ChannelIsAFlagUnlessASideFollows) {
    struct Case {
        std::vector<std::string> arguments;
        std::optional<std::string> side;
        std::vector<std::string> words;
    };
    const Case cases[] = {{{"analyse", "a.wav", "--channel", "right"}, "right", {"analyse", "a.wav"}},
                          {{"play", "0", "left", "--channel=left", "--file", "f"}, "left", {"play", "0", "left"}},
                          {{"selftest", "--channel", "0"}, {}, {"selftest", "0"}},
                          {{"selftest", "--loopback", "--channel"}, {}, {"selftest"}}};
    for (const Case& c : cases) {
        const CliArgs args = CliArgs::Parse(c.arguments);
        EXPECT_TRUE(args.Has("channel")) << c.arguments[0];
        EXPECT_EQ(args.Value("channel"), c.side) << c.arguments[0];
        EXPECT_EQ(args.Words(), c.words) << c.arguments[0];
    }
}
