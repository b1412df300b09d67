// The operation table and the value parsers, in process: list and help are
// driven by the same entries as the parser, values are checked before any
// file is touched, and a library error ends with status 1.
#include "cli_support.h"

using cli::Depth;
using cli::Image;

namespace {

// An operation that only fails in the library, registered by the test.
std::string gLibraryErrorOutput;
const cli::OpRegistrar failing({"test-library-error", "core", "fails with a library status", {"INPUT"}, {"OUTPUT"}, false,
                                {}, "anything", "",
                                [](const cli::Args& a) {
                                    gLibraryErrorOutput = a.output(0);
                                    cli::check(StatusSizeError, "zaliTestOnly");
                                }});
const cli::OpRegistrar warning({"test-library-warning", "core", "succeeds with a warning", {}, {"REPORT"}, true, {}, "", "",
                                [](const cli::Args&) { cli::check(StatusDivisionByZero, "zaliTestOnly"); }});

// Runs the command line in this process; stderr is captured into `err`.
int runInProcess(std::vector<std::string> args, std::string& err) {
    std::vector<char*> argv = {const_cast<char*>("zalcv")};
    for (auto& a : args) argv.push_back(a.data());
    std::fflush(stderr);
    char tmpl[] = "/tmp/zalcv-table-XXXXXX";
    const int fd = mkstemp(tmpl), saved = dup(STDERR_FILENO);
    dup2(fd, STDERR_FILENO);
    const int status = cli::runCommandLine(static_cast<int>(argv.size()), argv.data());
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    const std::vector<uint8_t> bytes = clitest::fileBytes(tmpl);
    err.assign(bytes.begin(), bytes.end());
    close(saved), close(fd), unlink(tmpl);
    return status;
}

TEST(CliTable, LibraryErrorGivesStatusOneAndWarningsStillSucceed) {
    clitest::TempDir dir;
    clitest::writeNpy(dir.path("in.npy"), clitest::testImage(4, 4, 1, Depth::U8));
    std::string err;
    EXPECT_EQ(runInProcess({"test-library-error", dir.path("in.npy"), dir.path("out.png")}, err), 1);
    EXPECT_EQ(err, "zalcv test-library-error: zaliTestOnly returned -6 (StatusSizeError)\n");
    EXPECT_EQ(gLibraryErrorOutput, dir.path("out.png"));
    EXPECT_EQ(dir.files(), std::vector<std::string>{"in.npy"});
    EXPECT_EQ(runInProcess({"test-library-warning"}, err), 0);
    EXPECT_NE(err.find("warning: zaliTestOnly returned 6 (StatusDivisionByZero)"), std::string::npos) << err;
}

TEST(CliTable, ListAndHelpShowEveryOperationAndOption) {
    const clitest::Run list = clitest::zalcv({"list"});
    ASSERT_EQ(list.status, 0);
    for (const char* family : {"core", "stats", "filter", "feature", "morph", "region", "pyramid", "objdetect", "geometry"})
        EXPECT_NE(list.out.find(std::string(family) + "\n"), std::string::npos) << family;
    for (const cli::OpSpec& op : cli::operations()) {
        if (op.name.rfind("test-", 0) == 0) continue;  // registered by this test only
        EXPECT_NE(list.out.find("  " + op.name + " "), std::string::npos) << op.name;
        const clitest::Run help = clitest::zalcv({"help", op.name});
        ASSERT_EQ(help.status, 0) << op.name;
        EXPECT_NE(help.out.find(op.summary), std::string::npos);
        for (const cli::OptSpec& o : op.options) {
            EXPECT_NE(help.out.find("--" + o.name), std::string::npos) << op.name << " --" << o.name;
            if (!o.def.empty()) {
                EXPECT_NE(help.out.find("default " + o.def), std::string::npos) << op.name << " " << o.name;
            }
        }
        EXPECT_EQ(clitest::zalcv({op.name, "--help"}).out, help.out);  // --help after the operation: the same text
    }
    EXPECT_EQ(clitest::zalcv({"help", "nothing"}).status, 2);
}

TEST(CliTable, ValuesOfEveryKindRejectWrongForms) {
    const cli::Footprint disk = cli::parseFootprint("--footprint", "disk:2");
    ASSERT_EQ(disk.size.width, 5);
    EXPECT_EQ(disk.anchor.x, 2);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(disk.mask[static_cast<std::size_t>(y * 5 + x)], (x - 2) * (x - 2) + (y - 2) * (y - 2) <= 4) << x << "," << y;
    const cli::Footprint rect = cli::parseFootprint("--footprint", "rect:4x2");
    EXPECT_EQ(std::vector<int>({rect.size.width, rect.size.height, rect.anchor.x, rect.anchor.y}), std::vector<int>({4, 2, 2, 1}));
    EXPECT_EQ(cli::parseFootprint("--footprint", "cross:1").mask, (std::vector<uint8_t>{0, 1, 0, 1, 1, 1, 0, 1, 0}));
    EXPECT_EQ(cli::parseFootprint("--footprint", "disk:0").mask, std::vector<uint8_t>{1});
    for (const char* bad : {"disk", "disk:", "disk:-1", "rect:0x3", "rect:3x", "ring:2", "disk:1.5", "rect:300"})
        EXPECT_THROW(cli::parseFootprint("--footprint", bad), cli::Error) << bad;
    EXPECT_EQ(cli::parseNumber("--x", " -2.5e1 ", false), -25.0);
    EXPECT_EQ(cli::parsePoint("--p", "-3,7").x, -3);
    EXPECT_EQ(cli::parseSize("--s", "7").height, 7);
    EXPECT_EQ(cli::parseSize("--s", "3X5").height, 5);
    for (const char* bad : {"", "1e999", "nan", "inf", "0x", "3,"})
        EXPECT_THROW(cli::parseNumber("--x", bad, false), cli::Error) << bad;
    EXPECT_THROW(cli::parseNumber("--x", "2.5", true), cli::Error);
    EXPECT_THROW(cli::parseNumber("--x", "3000000000", true), cli::Error);
    EXPECT_THROW(cli::parsePoint("--p", "3"), cli::Error);
    EXPECT_THROW(cli::parsePoint("--p", "3,4,5"), cli::Error);
    EXPECT_THROW(cli::parseSize("--s", "0x4"), cli::Error);
}

TEST(CliTable, ConversionsKeepThePicture) {
    Image rgb(2, 1, 3, Depth::U8);
    rgb.bytes = {255, 0, 0, 10, 200, 30};
    const Image gray = cli::convertImage(rgb, {Depth::U8, 1});
    EXPECT_EQ(gray.bytes[0], 76);  // 0.299 * 255
    EXPECT_EQ(gray.bytes[1], static_cast<uint8_t>(std::lround(0.299 * 10 + 0.587 * 200 + 0.114 * 30)));
    Image wide(3, 1, 1, Depth::U16);
    const uint16_t w[3] = {65535, 32768, 128};
    std::copy(w, w + 3, wide.data<uint16_t>());
    EXPECT_EQ(cli::convertImage(wide, {Depth::U8, 1}).bytes, (std::vector<uint8_t>{255, 128, 0}));
    const Image back = cli::convertImage(gray, {Depth::U8, 3});
    EXPECT_EQ(back.bytes[3], back.bytes[4]);
    Image rgba(1, 1, 4, Depth::U8);
    rgba.bytes = {1, 2, 3, 4};
    EXPECT_EQ(cli::convertImage(rgba, {Depth::F32, 3}).data<float>()[2], 3.0f);
    Image f(2, 1, 1, Depth::F32);
    f.data<float>()[0] = 300.7f, f.data<float>()[1] = NAN;
    EXPECT_EQ(cli::convertImage(f, {Depth::U8, 1}).bytes, (std::vector<uint8_t>{255, 0}));  // saturated
}

TEST(CliTable, AcceptNamesWhatTheOperationTakes) {
    cli::Args args;
    args.op = cli::findOperation("canny");
    ASSERT_NE(args.op, nullptr);
    const Image wide(2, 2, 3, Depth::U16);
    try {
        cli::accept(args, wide, "x.png", {{Depth::U8, 1}, {Depth::F32, 1}});
        FAIL() << "accepted";
    } catch (const cli::Error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "x.png: canny takes 8-bit gray or 32-bit float gray, not 16-bit RGB (--convert converts the input)");
        EXPECT_EQ(e.exitCode, 2);
    }
    args.convert = true;
    EXPECT_EQ(cli::accept(args, wide, "x.png", {{Depth::U8, 1}, {Depth::F32, 1}}).channels, 1);
    const Image rgb8(2, 2, 3, Depth::U8);
    EXPECT_EQ(cli::accept(args, rgb8, "y", {{Depth::U8, 1}, {Depth::F32, 3}}).depth, Depth::F32);  // same channels win
    // Without --convert, colour of the right depth becomes gray by itself.
    args.convert = false;
    const Image fromColour = cli::accept(args, rgb8, "y", {{Depth::U8, 1}, {Depth::F32, 1}});
    EXPECT_EQ(fromColour.channels, 1);
    EXPECT_EQ(fromColour.depth, Depth::U8);
}

TEST(CliTable, AbandonedOutputLeavesNoTrace) {
    clitest::TempDir dir;
    clitest::writeBytes(dir.path("out.txt"), clitest::text("old"));
    {
        cli::AtomicFile f(dir.path("out.txt"));
        std::fputs("half", f.stream());
        EXPECT_EQ(dir.files().size(), 2u);  // the temporary file exists meanwhile
    }
    EXPECT_EQ(dir.files(), std::vector<std::string>{"out.txt"});
    EXPECT_EQ(clitest::fileBytes(dir.path("out.txt")), clitest::text("old"));
    cli::writeText(dir.path("out.txt"), "new");
    EXPECT_EQ(clitest::fileBytes(dir.path("out.txt")), clitest::text("new"));
    EXPECT_EQ(dir.files(), std::vector<std::string>{"out.txt"});
}

TEST(CliTable, DemoStillRuns) {
    clitest::TempDir dir;
    const clitest::Run run = clitest::zalcv({"demo", dir.path("demo")});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    const auto files = clitest::TempDir::filesIn(dir.path("demo"));
    EXPECT_GT(files.size(), 50u);
    EXPECT_NE(std::find(files.begin(), files.end(), "region_watershed_overlay.png"), files.end());
}

}  // namespace
