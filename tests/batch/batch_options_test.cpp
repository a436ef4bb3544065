// pelvanor-batch's command line parsed in process: every rule that refuses
// a value, once; the language of the help; the settings file of a project
// folder under the options; the arguments that ask for the pictures.  What
// needs the program itself (exit statuses, files written, the log) is in
// cli_test.cpp.

#include "batch/batch_options.h"

#include <QLocale>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "tests/support/test_util.h"

namespace pelvanor::batch {
namespace {

// The user's locale as the program reads it from LANG, for one test.
class LocaleScope {
public:
    explicit LocaleScope(QLocale::Language language, QLocale::Territory territory) {
        QLocale::setDefault(QLocale(language, territory));
    }
    ~LocaleScope() { QLocale::setDefault(QLocale::system()); }
    LocaleScope(const LocaleScope&) = delete;
    LocaleScope& operator=(const LocaleScope&) = delete;
};

std::string Fasada() { return test::SourcePath("examples/fasada"); }

// The arguments as main() hands them over: the program's name first.
ParseResult Parse(std::vector<std::string> arguments, BatchOptions& options, char localeDecimal = '.') {
    arguments.insert(arguments.begin(), "pelvanor-batch");
    return ParseArguments(arguments, localeDecimal, options);
}

TEST(BatchOptions, RefusesEveryBadValueNamingTheOption) {
    LocaleScope english(QLocale::English, QLocale::UnitedStates);
    test::TempDir dir;
    const std::string out = dir.Path("out");
    const std::string ini = dir.Path("settings.ini");
    const std::string badKey = dir.Path("bad_key.ini");
    test::WriteFileBytes(ini, "# the tolerance is written with a point, as in every input file\nmax-iterations = 7\n"
                              "tolerance = 0,1\n");
    test::WriteFileBytes(badKey, "[pelvanor]\niterations = 7\n");
    // Settings files that are no settings files: refused at once, without
    // reading (a pipe without a writer would block, a device never end).
    const std::string fifo = dir.Path("settings.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string huge = dir.Path("huge.ini");
    test::WriteFileBytes(huge, std::string((1 << 20) + 1, '#'));
    // A valid project around the bad value, so that only the value is wrong.
    const auto with = [&](std::vector<std::string> extra) {
        std::vector<std::string> args{Fasada(), "--out", out};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    };
    const struct {
        std::vector<std::string> args;
        std::string message;  // what the message says, naming the option
    } cases[] = {
        {with({"--bogus"}), "unknown option --bogus"},
        {{Fasada(), "--out"}, "missing value of --out"},
        {with({"--command", "adjust"}), "bad value of --command: 'adjust'"},
        {with({"--method", "sphere"}), "bad value of --method"},
        {with({"--decimal", ";"}), "bad value of --decimal"},
        {with({"--robust", "yes"}), "bad value of --robust: 'yes' (on | off)"},
        {with({"--solve", "dense"}), "bad value of --solve: 'dense' (auto | svd | sparse)"},
        // The dialog's whole numbers: leading blanks only.
        {with({"--point-percent", "100 "}), "bad value of --point-percent: '100 ' (a whole number)"},
        // The tolerance: "." or the decimal separator in force, nothing else.
        {with({"--decimal", ",", "--tolerance", "0;1"}),
         "bad value of --tolerance: '0;1' (a number with the decimal separator ',' or '.')"},
        {with({"--settings", ini}), ini + ":3: tolerance: '0,1'"},
        {with({"--settings", badKey}), badKey + ":2: unknown key 'iterations'"},
        {with({"--settings", fifo}), "the settings file " + fifo + ": is a named pipe, not a file"},
        {with({"--settings", "/dev/zero"}), "the settings file /dev/zero: is a device, not a file"},
        {with({"--settings", dir.Dir().string()}), ": is a folder, not a file"},
        {with({"--settings", huge}), "the settings file " + huge + ": is larger than 1 MiB, not a settings file"},
        {with({"--command", "xyz", "--command", "bundle"}), "option given twice: --command"},
        {{"--camera", Fasada() + "/camera.txt", "--out", out}, "missing the project folder, or --camera and --control"},
        {{dir.Path("nowhere"), "--out", out}, "no such project folder"},
        {with({Fasada()}), "at most one project folder"},
    };
    for (const auto& c : cases) {
        BatchOptions options;
        const ParseResult parsed = Parse(c.args, options);
        EXPECT_EQ(parsed.kind, ParseResult::Kind::Error) << c.message;
        EXPECT_NE(parsed.text.find(c.message), std::string::npos)
            << "expected \"" << c.message << "\" in:\n" << parsed.text;
    }
}

TEST(BatchOptions, HelpFollowsTheLocaleAndVersionNamesTheProgram) {
    BatchOptions options;
    {
        LocaleScope czech(QLocale::Czech, QLocale::Czechia);
        const ParseResult help = Parse({"--help"}, options);
        EXPECT_EQ(help.kind, ParseResult::Kind::Help);
        EXPECT_EQ(help.text.rfind("Použití: pelvanor-batch", 0), 0u) << help.text;
    }
    LocaleScope english(QLocale::English, QLocale::UnitedStates);
    const ParseResult help = Parse({"-h"}, options);
    EXPECT_EQ(help.kind, ParseResult::Kind::Help);
    EXPECT_EQ(help.text.rfind("Usage: pelvanor-batch", 0), 0u) << help.text;
    const ParseResult version = Parse({"-v"}, options);
    EXPECT_EQ(version.kind, ParseResult::Kind::Version);
    EXPECT_TRUE(std::regex_match(version.text, std::regex("pelvanor-batch [0-9]+\\.[0-9]+\\.[0-9]+"))) << version.text;
}

TEST(BatchOptions, ProjectSettingsFileUnderTheOptions) {
    test::TempDir dir;
    const std::string project = dir.Path("fasada");
    std::filesystem::copy(Fasada(), project);
    test::WriteFileBytes(project + "/nastaveni.ini",
                         "; settings of this project\nmax-iterations = 7\ntolerance = 0.05\nrobust = off\n"
                         "calibrate = f, k1,k2\n");
    BatchOptions options;
    const ParseResult parsed =
        Parse({project, "--decimal", ",", "--tolerance", "0,2", "--significance", "10"}, options, '.');
    ASSERT_EQ(parsed.kind, ParseResult::Kind::Run) << parsed.text;
    EXPECT_EQ(options.settingsFile, project + "/nastaveni.ini");
    EXPECT_EQ(options.decimal, ',');
    EXPECT_EQ(options.outDir, project + "/vysledky");
    EXPECT_EQ(options.settings.MaxIterations, 7);      // the file
    EXPECT_EQ(options.settings.Tolerance, 0.2L);       // the option over the file, with --decimal
    EXPECT_EQ(options.settings.SignificancePercent, 10);
    EXPECT_FALSE(options.settings.RobustEstimation);   // the file
    EXPECT_TRUE(options.settings.AdjustCameraConstant);  // the default
    EXPECT_EQ(options.settings.PointPercent, AdjustmentSettings{}.PointPercent);
    // The free camera parameters of the calibration, from the file.
    const AdjustmentSettings& s = options.settings;
    EXPECT_TRUE(s.CalibrateF && s.CalibrateK1 && s.CalibrateK2);
    EXPECT_FALSE(s.CalibratePrincipalPoint || s.CalibrateK3 || s.CalibrateDecentring);
    // A script that sets the decimal comma may still write the tolerance
    // with ".", as the settings file does.
    BatchOptions point;
    ASSERT_EQ(Parse({project, "--decimal", ",", "--tolerance", "0.05"}, point, '.').kind, ParseResult::Kind::Run);
    EXPECT_EQ(point.settings.Tolerance, 0.05L);
}

TEST(BatchOptions, PicturesAskedForInEveryFormOfTheOption) {
    using Arguments = std::vector<std::string>;
    for (const Arguments& arguments : {Arguments{"pelvanor-batch", "--plots", "d"}, Arguments{"pelvanor-batch", "x", "--plots=d"},
                                       Arguments{"pelvanor-batch", "-plots", "d"}, Arguments{"pelvanor-batch", "-plots=d"}})
        EXPECT_TRUE(WantsPlots(arguments)) << arguments[1];
    // The program's own name and what follows "--" are not options.
    for (const Arguments& arguments : {Arguments{"--plots"}, Arguments{"pelvanor-batch", "--", "--plots", "d"}})
        EXPECT_FALSE(WantsPlots(arguments)) << arguments.back();
}

}  // namespace
}  // namespace pelvanor::batch
