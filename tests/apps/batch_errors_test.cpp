// Batch mode and the error paths: messages, exit statuses, and that no
// partial or temporary file is ever left behind.
#include <sys/stat.h>

#include <array>
#include <map>

#include "cli_support.h"

using cli::Depth;
using clitest::TempDir;
using Names = std::vector<std::string>;

namespace {

TEST(CliBatch, ProcessesEveryImageReportsFailuresPerFileAndGoesOn) {
    TempDir dir;
    const std::string in = dir.path("in"), out = dir.path("out");
    mkdir(in.c_str(), 0777);
    clitest::writeNpy(in + "/a.npy", clitest::testImage(30, 20, 1, Depth::U8, 1));
    clitest::writePnm(in + "/b.pgm", clitest::testImage(25, 21, 1, Depth::U8, 2));
    clitest::writeNpy(in + "/c.npy", clitest::testImage(28, 19, 1, Depth::U8, 3));
    clitest::writeBytes(in + "/broken.png", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0});
    clitest::writeNpy(in + "/wide.npy", clitest::testImage(8, 8, 1, Depth::U16, 4));  // canny takes 8-bit or float
    clitest::writeBytes(in + "/notes.txt", {'h', 'i'});                                  // not an image: skipped
    const clitest::Run run = clitest::zalcv(
        {"canny", "--low", "30", "--high", "90", "--input-dir", in, "--output-dir", out, "-j", "2", "--format", "npy"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.out.find("canny: 5 files, 3 done, 2 failed"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("broken.png: bad PNG file"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("wide.npy: canny takes"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\r'), std::string::npos) << "no progress bar when stderr is not a terminal";
    TempDir single;
    for (const char* name : {"a.npy", "b.pgm", "c.npy"}) {
        const std::string result = single.path(std::string(name, 1) + ".npy");
        const clitest::Run one = clitest::zalcv({"canny", "--low", "30", "--high", "90", in + "/" + name, result});
        ASSERT_EQ(one.status, 0) << one.err;
        EXPECT_EQ(clitest::fileBytes(out + "/" + std::string(name, 1) + ".npy"), clitest::fileBytes(result)) << name;
    }
    EXPECT_EQ(TempDir::filesIn(out), (Names{"a.npy", "b.npy", "c.npy"}));  // nothing for the failures, no temporary files
}

TEST(CliBatch, InputsSharingAStemKeepSeparateResultsAndInputsAreNeverReplaced) {
    TempDir dir;
    const std::string in = dir.path("in");
    mkdir(in.c_str(), 0777);
    clitest::writeNpy(in + "/a.npy", clitest::testImage(12, 10, 1, Depth::U8, 1));
    clitest::writePnm(in + "/a.pgm", clitest::testImage(12, 10, 1, Depth::U8, 2));
    clitest::writeNpy(in + "/b.npy", clitest::testImage(12, 10, 1, Depth::U8, 3));
    clitest::Run run = clitest::zalcv({"blur", "--input-dir", in, "--output-dir", dir.path("out"), "--format", "npy"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(TempDir::filesIn(dir.path("out")), (Names{"a.npy.npy", "a.pgm.npy", "b.npy"}));
    // Writing into the input folder in the inputs' own format would replace them.
    const auto before = clitest::fileBytes(in + "/b.npy");
    run = clitest::zalcv({"blur", "--input-dir", in, "--output-dir", in + "/.", "--format", "npy"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("would replace its input"), std::string::npos) << run.err;
    EXPECT_EQ(clitest::fileBytes(in + "/b.npy"), before);
}

TEST(CliBatch, EmptyFolderAndMisuseAreUsageErrors) {
    TempDir dir;
    const std::string empty = dir.path("empty"), o = dir.path("o");
    mkdir(empty.c_str(), 0777);
    for (const auto& [args, message] : std::vector<std::pair<Names, std::string>>{
             {{"blur", "--input-dir", empty, "--output-dir", o}, "no image files"},
             {{"blur", "--input-dir", empty}, "--output-dir"},
             {{"absdiff", "--input-dir", empty, "--output-dir", o}, "one image input"}}) {
        const clitest::Run run = clitest::zalcv(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    }
}

TEST(CliBatch, WorkersPerFileNeverOversubscribe) {
    for (const auto& [total, jobs, each] :
         std::initializer_list<std::array<int, 3>>{{8, 1, 8}, {8, 2, 4}, {8, 3, 2}, {2, 4, 1}, {1, 1, 1}, {5, 2, 2}})
        EXPECT_EQ(cli::workersPerJob(total, jobs), each) << total << " workers, " << jobs << " jobs";
}

// ---- Error paths ----

struct ErrorCase {
    const char* name;
    Names args;  // "{in}" an 8-bit gray image, "{wide}" a 16-bit one, "{rgb}" an RGB one, "{out}" the output
    const char* message;
};

void PrintTo(const ErrorCase& c, std::ostream* os) { *os << c.name; }

const ErrorCase kErrors[] = {
    {"missing_input", {"blur", "{dir}/nothing.png", "{out}"}, "nothing.png: cannot open"},
    {"folder_as_input", {"blur", "{dir}", "{out}"}, "not a regular file"},
    {"unknown_operation", {"sharpen", "{in}", "{out}"}, "unknown operation 'sharpen'"},
    {"unknown_option", {"blur", "--radius", "3", "{in}", "{out}"}, "--radius"},
    {"bad_choice", {"sobel", "--ksize", "4", "{in}", "{out}"}, "option --ksize: '4' is not one of 3|5"},
    {"out_of_range", {"sobel", "--dx", "3", "{in}", "{out}"}, "option --dx: 3 is out of range"},
    {"not_a_number", {"canny", "--low", "ten", "{in}", "{out}"}, "option --low: 'ten' is not a number"},
    // Values that would not survive the conversion to the library's type.
    {"float_overflow", {"blur", "--border-value", "1e300", "{in}", "{out}"}, "option --border-value: 1e300 does not fit a 32-bit float"},
    {"border_value_beyond_8_bits", {"sobel", "--border", "constant", "--border-value", "300", "{in}", "{out}"},
     "option --border-value: an 8-bit image takes whole numbers 0..255"},
    {"negative_fill_value", {"floodfill", "--seed", "1,1", "--value", "-5", "{in}", "{out}"}, "option --value: an 8-bit image"},
    {"point_outside", {"floodfill", "--seed", "99,4", "{in}", "{out}"}, "option --seed: 99,4 lies outside"},
    {"missing_required", {"undistort", "{in}", "{out}"}, "option --fx is required"},
    {"high_below_low", {"canny", "--low", "90", "--high", "30", "{in}", "{out}"}, "option --high"},
    {"missing_value", {"canny", "{in}", "{out}", "--low"}, "--low"},
    {"too_few_files", {"absdiff", "{in}", "{out}"}, "expected zalcv absdiff"},
    {"wrong_depth", {"canny", "{wide}", "{out}"}, "canny takes 8-bit gray or 32-bit float gray, not 16-bit gray (--convert"},
    {"unknown_output_format", {"blur", "{in}", "{dir}/out.bmp"}, "out.bmp: unknown image format"},
    {"signed_result_to_png", {"sobel", "{in}", "{out}"}, "--normalize"},
    {"rgb_into_pgm", {"copy", "{rgb}", "{dir}/out.pgm"}, "use .ppm"},
    {"output_folder_missing", {"blur", "{in}", "{dir}/no/such/out.png"}, "cannot create a file in"},
    {"mask_size_differs", {"inpaint", "--mask", "{rgb}", "{in}", "{out}"}, "--mask"},
};

class Errors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(Errors, OneLineMessageExitStatusAndNoOutput) {
    TempDir dir;
    clitest::writeNpy(dir.path("in.npy"), clitest::testImage(20, 10, 1, Depth::U8));
    clitest::writeNpy(dir.path("wide.npy"), clitest::testImage(20, 10, 1, Depth::U16));
    clitest::writeNpy(dir.path("rgb.npy"), clitest::testImage(12, 10, 3, Depth::U8));
    clitest::writeBytes(dir.path("out.png"), {'o', 'l', 'd'});  // an existing output survives a failed run untouched
    const std::map<std::string, std::string> names = {{"in", dir.path("in.npy")}, {"wide", dir.path("wide.npy")},
                                                      {"rgb", dir.path("rgb.npy")}, {"out", dir.path("out.png")},
                                                      {"dir", dir.dir()}};
    Names args;
    for (const std::string& a : GetParam().args) {  // "{key}" at the start of an argument stands for a path
        const auto close = a.find('}');
        args.push_back(a[0] == '{' && close != std::string::npos ? names.at(a.substr(1, close - 1)) + a.substr(close + 1) : a);
    }
    const clitest::Run run = clitest::zalcv(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
    EXPECT_EQ(run.err.rfind("zalcv", 0), 0u) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(dir.files(), (Names{"in.npy", "out.png", "rgb.npy", "wide.npy"}));
    EXPECT_EQ(clitest::fileBytes(dir.path("out.png")), clitest::text("old"));
}

INSTANTIATE_TEST_SUITE_P(Cli, Errors, ::testing::ValuesIn(kErrors),
                         [](const ::testing::TestParamInfo<ErrorCase>& i) { return std::string(i.param.name); });

TEST(CliErrors, ConvertAcceptsARefusedInputAndOutputsAreReplacedOnlyWhenComplete) {
    TempDir dir;
    clitest::writeNpy(dir.path("wide.npy"), clitest::testImage(20, 10, 1, Depth::U16));
    const clitest::Run run = clitest::zalcv({"canny", "--convert", dir.path("wide.npy"), dir.path("e.png")});
    EXPECT_EQ(run.status, 0) << run.err;
    clitest::writeNpy(dir.path("in.npy"), clitest::testImage(20, 10, 1, Depth::U8));
    clitest::writeBytes(dir.path("out.npy"), {'o', 'l', 'd'});
    ASSERT_EQ(clitest::zalcv({"blur", dir.path("in.npy"), dir.path("out.npy")}).status, 0);
    EXPECT_EQ(clitest::readNpy(dir.path("out.npy")).width, 20);
    EXPECT_EQ(dir.files(), (Names{"e.png", "in.npy", "out.npy", "wide.npy"}));
}

}  // namespace
