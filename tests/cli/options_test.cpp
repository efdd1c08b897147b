#include "cli/commands/options.h"

#include <gtest/gtest.h>

namespace cli {
namespace {

Options Parsed(std::vector<std::string_view> args) {
    const ParseOutcome outcome = ParseOptions(args);
    EXPECT_TRUE(outcome.options) << outcome.error;
    return outcome.options.value_or(Options{});
}

std::string Error(std::vector<std::string> owned) {
    const std::vector<std::string_view> args(owned.begin(), owned.end());
    const ParseOutcome outcome = ParseOptions(args);
    EXPECT_FALSE(outcome.options);
    return outcome.error;
}

TEST(OptionsTest, DefaultsAreTheWindowsSelections) {
    const Options options = Parsed({});
    EXPECT_EQ(options.command, Command::Run);
    EXPECT_FALSE(options.target);
    EXPECT_EQ(options.reference, 1);  // first reference row
    EXPECT_EQ(options.show, ShowFilter::Both);
    EXPECT_EQ(options.language, Language::English);
    EXPECT_FALSE(options.json);
}

TEST(OptionsTest, AcceptsBothValueSpellingsAndAnyOrder) {
    const Options options =
        Parsed({"--json", "--target=2", "run", "--reference", "5", "--show", "after", "--lang=ru", "--output",
                "C:\\Users\\Ольга\\r.json"});
    EXPECT_EQ(options.command, Command::Run);
    EXPECT_EQ(options.target, 2);
    EXPECT_EQ(options.reference, 5);
    EXPECT_EQ(options.show, ShowFilter::AfterOnly);
    EXPECT_EQ(options.language, Language::Russian);
    EXPECT_TRUE(options.json);
    EXPECT_EQ(options.outputFile, "C:\\Users\\Ольга\\r.json");

    EXPECT_EQ(Parsed({"--show=before"}).show, ShowFilter::BeforeOnly);
    EXPECT_EQ(Parsed({"--reference=0"}).reference, 0);
    EXPECT_EQ(Parsed({"--target", "0"}).target, 0);
    EXPECT_EQ(Parsed({"list", "--lang", "ru"}).command, Command::List);
}

TEST(OptionsTest, CompareTakesTwoDocumentsAndNothingElse) {
    const Options options = Parsed({"compare", "a.json", "b.json"});
    EXPECT_EQ(options.command, Command::Compare);
    EXPECT_EQ(options.compareFiles, (std::vector<std::string>{"a.json", "b.json"}));
    EXPECT_EQ(Error({"compare", "a.json"}),
              "'compare' needs two JSON documents: mivaro-cli compare FIRST.json SECOND.json");
    EXPECT_EQ(Error({"compare", "a.json", "b.json", "c.json"}), "unexpected argument 'c.json' after the command");
    EXPECT_EQ(Error({"compare", "--json", "a.json", "b.json"}), "option '--json' does not apply to 'compare'");
}

TEST(OptionsTest, EveryCardTolerancesAndSummaries) {
    Options options = Parsed({"--target", "all", "--concurrent", "--tolerance=7.5"});
    EXPECT_TRUE(options.allTargets);
    EXPECT_FALSE(options.target);
    EXPECT_TRUE(options.concurrent);
    EXPECT_EQ(options.tolerancePercent, 7.5);
    EXPECT_EQ(Parsed({}).tolerancePercent, 10.0);

    options = Parsed({"summary", "a.json", "--tolerance", "0", "results/", "--json", "--output", "s.json"});
    EXPECT_EQ(options.command, Command::Summary);
    EXPECT_EQ(options.summaryPaths, (std::vector<std::string>{"a.json", "results/"}));
    EXPECT_EQ(options.tolerancePercent, 0.0);
    EXPECT_EQ(Error({"summary"}), "'summary' needs result documents or folders: mivaro-cli summary PATH...");
    for (const char* bad : {"-5", "101", "1e1", ".5", "10%", "", "nan"}) {
        EXPECT_NE(Error({"--tolerance", bad}).find("--tolerance needs a percentage from 0 to 100"), std::string::npos)
            << bad;
    }
    EXPECT_EQ(Parsed({"--tolerance", "100"}).tolerancePercent, 100.0);
}

TEST(OptionsTest, HelpWinsOverEverythingValid) {
    EXPECT_EQ(Parsed({"--version"}).command, Command::Version);
    EXPECT_EQ(Parsed({"--version", "--help"}).command, Command::Help);
    EXPECT_EQ(Parsed({"--help"}).command, Command::Help);
    EXPECT_EQ(Parsed({"list", "-h"}).command, Command::Help);
    EXPECT_EQ(Parsed({"--target", "1", "--help", "--json"}).command, Command::Help);
}

TEST(OptionsTest, RejectsUnknownAndMalformedInput) {
    EXPECT_EQ(Error({"--verbose"}), "unknown option '--verbose'");
    EXPECT_EQ(Error({"-x"}), "unknown option '-x'");
    EXPECT_EQ(Error({"bench"}), "unknown command 'bench' (expected 'run', 'list', 'compare' or 'summary')");
    // Echoed arguments are made safe and cut: no terminal control sequence, no screenful,
    // but Cyrillic and backslashes as typed.
    EXPECT_EQ(Error({"--x\x1b[2J\xd0\xb9\\"}), "unknown option '--x\\x1B[2J\xd0\xb9\\'");
    EXPECT_EQ(Error({std::string(100, 'a')}), "unknown command '" + std::string(40, 'a') + "...' (expected 'run', "
                                              "'list', 'compare' or 'summary')");
    EXPECT_EQ(Error({"run", "list"}), "unexpected argument 'list' after the command");
    // An argument's control characters never break the one-line error.
    EXPECT_EQ(Error({"a\nb\x1B[2J"}),
              "unknown command 'a\\x0Ab\\x1B[2J' (expected 'run', 'list', 'compare' or 'summary')");
    EXPECT_EQ(Error({"--target"}), "option '--target' needs a value");
    EXPECT_EQ(Error({"--json=yes"}), "option '--json' takes no value");
    EXPECT_EQ(Error({"--lang", "de"}), "--lang needs 'en' or 'ru', not 'de'");
    EXPECT_EQ(Error({"--show", "all"}), "--show needs 'both', 'before' or 'after', not 'all'");
    // A value that only looks like a number is refused whole, never read partly.
    for (const char* bad : {"-1", "+1", "1x", "", " 1", "0x1", "99999999999"}) {
        EXPECT_NE(Error({"--target", bad}).find("--target needs a card number"), std::string::npos)
            << bad;
    }
    EXPECT_EQ(Error({"--reference", "6"}), "--reference needs a number from 0 (none) to 5, not '6'");
}

TEST(OptionsTest, RejectsRepeatedAndConflictingOptions) {
    EXPECT_EQ(Error({"--target", "1", "--target=2"}), "option '--target' given more than once");
    EXPECT_EQ(Error({"--json", "--json"}), "option '--json' given more than once");
    EXPECT_EQ(Error({"list", "--output", "r.json"}), "option '--output' does not apply to 'list'");
    EXPECT_EQ(Error({"--output="}), "--output needs a file name");
    EXPECT_EQ(Error({"list", "--json"}), "option '--json' does not apply to 'list'");
    EXPECT_EQ(Error({"--target", "0", "list"}), "option '--target' does not apply to 'list'");
    EXPECT_EQ(Error({"summary", "r", "--reference", "2"}), "option '--reference' does not apply to 'summary'");
    EXPECT_EQ(Error({"--concurrent"}), "--concurrent needs '--target all'");
    EXPECT_EQ(Error({"--target", "1", "--concurrent"}), "--concurrent needs '--target all'");
    EXPECT_EQ(Error({"--reference", "0", "--show", "both"}),
              "--show needs a reference; '--reference 0' selects none");
}

TEST(OptionsTest, UsageNamesEveryOptionAndExitCode) {
    const std::string usage = UsageText();
    for (const char* word : {"list", "compare", "summary", "--target all", "--concurrent", "--tolerance", "--reference",
                             "--show", "--lang", "--json", "--output", "--help", "--version",
                             "4 the output could not be written", "5 a card is slow or throttled", "130 interrupted"}) {
        EXPECT_NE(usage.find(word), std::string::npos) << word;
    }
}

}  // namespace
}  // namespace cli

namespace cli {
namespace {

TEST(OptionsTest, AfterOnlyNeedsAReferenceWithAnAfterMeasurement) {
    EXPECT_EQ(Error({"--reference", "2", "--show", "after"}),
              "--show after: reference 2 has no measurement after removing limits");
    EXPECT_EQ(Error({"--show", "after", "--reference", "4"}),
              "--show after: reference 4 has no measurement after removing limits");
    EXPECT_EQ(Parsed({"--reference", "3", "--show", "after"}).show, ShowFilter::AfterOnly);
    EXPECT_EQ(Parsed({"--reference", "2", "--show", "before"}).show, ShowFilter::BeforeOnly);
}

}  // namespace
}  // namespace cli
