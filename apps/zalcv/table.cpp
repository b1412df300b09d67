// The operation table: every family file registers its operations here, and
// the option parser, `zalcv list` and `zalcv help OPERATION` are all driven
// from these entries, so the three cannot drift apart.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>
#include <limits>
#include <cstdio>
#include <cstdlib>

#include "cli.h"
#include "zalcore.h"

namespace cli {
namespace {

std::vector<OpSpec>& table() {
    static std::vector<OpSpec> list;
    return list;
}

int familyRank(const std::string& family) {
    static const char* const order[] = {"core", "stats", "filter", "feature", "morph",
                                        "region", "pyramid", "objdetect", "geometry"};
    for (int i = 0; i < 9; ++i)
        if (family == order[i]) return i;
    return 9;
}

// Options every operation takes (help lists them once, after the operation's own).
const std::vector<OptSpec>& commonOptions() {
    static const std::vector<OptSpec> list = {
        {"normalize", OptKind::Flag, "", "write the result stretched from its [min, max] to 8 bits (viewable PNG/JPEG)"},
        {"convert", OptKind::Flag, "", "convert an input the operation does not take (depth, channels) to one it takes"},
        {"quality", OptKind::Int, "95", "JPEG quality of image outputs", 1, 100},
        {"threads", OptKind::Int, "", "library worker threads (default: all processors)", 1, 1024},
        {"quiet", OptKind::Flag, "", "no progress bar or notes"},
    };
    return list;
}

const std::vector<OptSpec>& batchOptions() {
    static const std::vector<OptSpec> list = {
        {"input-dir", OptKind::File, "", "batch mode: process every image file in this folder"},
        {"output-dir", OptKind::File, "", "batch mode: write the results here (created if missing)"},
        {"jobs", OptKind::Int, "1", "batch mode: files processed at a time (-j)", 1, 256},
        {"format", OptKind::Choice, "png", "batch mode: output format", 0, 0, {"png", "jpg", "pgm", "ppm", "tiff", "npy"}},
    };
    return list;
}

std::string kindText(const OptSpec& o) {
    switch (o.kind) {
        case OptKind::Int: return "INT";
        case OptKind::Float: return "NUM";
        case OptKind::Choice: {
            std::string s;
            for (const auto& c : o.choices) s += (s.empty() ? "" : "|") + c;
            return s;
        }
        case OptKind::Point: return "X,Y";
        case OptKind::Size: return "WxH";
        case OptKind::Footprint: return "SHAPE";
        case OptKind::File: return "PATH";
        case OptKind::Flag: return "";
    }
    return "";
}

std::string formatNumber(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

void printOptions(const std::vector<OptSpec>& options) {
    for (const OptSpec& o : options) {
        std::string left = "  --" + o.name;
        const std::string k = kindText(o);
        if (!k.empty()) left += " " + k;
        std::string right = o.help;
        if (o.kind == OptKind::Int || o.kind == OptKind::Float) {
            if (o.lo > -1e299 && o.hi < 1e299)
                right += " (" + formatNumber(o.lo) + ".." + formatNumber(o.hi) + ")";
            else if (o.lo > -1e299)
                right += " (>= " + formatNumber(o.lo) + ")";
        }
        if (o.required) right += "; required";
        if (!o.def.empty()) right += "; default " + o.def;
        if (left.size() < 28)
            std::printf("%-28s %s\n", left.c_str(), right.c_str());
        else
            std::printf("%s\n%-28s %s\n", left.c_str(), "", right.c_str());
    }
}

std::string usageLine(const OpSpec& op) {
    std::string s = "zalcv " + op.name + " [OPTIONS]";
    for (const auto& in : op.inputs) s += " " + in;
    for (std::size_t i = 0; i < op.outputs.size(); ++i) {
        const bool opt = op.optionalOutput && i + 1 == op.outputs.size();
        s += opt ? " [" + op.outputs[i] + "]" : " " + op.outputs[i];
    }
    return s;
}

// Checks a value against its option's kind and range; fails naming the option.
void validate(const OptSpec& o, const std::string& v) {
    const std::string opt = "--" + o.name;
    switch (o.kind) {
        case OptKind::Int:
        case OptKind::Float: {
            const double x = parseNumber(opt, v, o.kind == OptKind::Int);
            if (x < o.lo || x > o.hi)
                fail("option " + opt + ": " + v + " is out of range (" + formatNumber(o.lo) + ".." + formatNumber(o.hi) + ")");
            break;
        }
        case OptKind::Choice:
            if (std::find(o.choices.begin(), o.choices.end(), v) == o.choices.end())
                fail("option " + opt + ": '" + v + "' is not one of " + kindText(o));
            break;
        case OptKind::Point: parsePoint(opt, v); break;
        case OptKind::Size: parseSize(opt, v); break;
        case OptKind::Footprint: parseFootprint(opt, v); break;
        case OptKind::File:
            if (v.empty()) fail("option " + opt + ": empty path");
            break;
        case OptKind::Flag: break;
    }
}

std::string trimmed(const std::string& s) {
    const auto b = s.find_first_not_of(" \t");
    const auto e = s.find_last_not_of(" \t");
    return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

}  // namespace

// ---- Registry --------------------------------------------------------------------

OpRegistrar::OpRegistrar(OpSpec entry) { table().push_back(std::move(entry)); }

const std::vector<OpSpec>& operations() {
    static const bool sorted = [] {
        std::stable_sort(table().begin(), table().end(),
                         [](const OpSpec& a, const OpSpec& b) { return familyRank(a.family) < familyRank(b.family); });
        return true;
    }();
    (void)sorted;
    return table();
}

const OpSpec* findOperation(const std::string& name) {
    for (const OpSpec& op : operations())
        if (op.name == name) return &op;
    return nullptr;
}

// ---- Values ----------------------------------------------------------------------

double parseNumber(const std::string& option, const std::string& text, bool integer) {
    const std::string t = trimmed(text);
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(t.c_str(), &end);
    if (t.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(v))
        fail("option " + option + ": '" + text + "' is not a number");
    if (integer && (v != std::floor(v) || std::fabs(v) > 2147483647.0))
        fail("option " + option + ": '" + text + "' is not an integer");
    return v;
}

ImagePoint parsePoint(const std::string& option, const std::string& text) {
    const auto comma = text.find(',');
    if (comma == std::string::npos) fail("option " + option + ": '" + text + "' is not a point X,Y");
    const double x = parseNumber(option, text.substr(0, comma), true);
    const double y = parseNumber(option, text.substr(comma + 1), true);
    return ImagePoint{static_cast<int32_t>(x), static_cast<int32_t>(y)};
}

ImageSize parseSize(const std::string& option, const std::string& text) {
    const auto x = text.find_first_of("xX");
    const double w = parseNumber(option, x == std::string::npos ? text : text.substr(0, x), true);
    const double h = x == std::string::npos ? w : parseNumber(option, text.substr(x + 1), true);
    if (w < 1 || h < 1 || w > 255 || h > 255) fail("option " + option + ": size '" + text + "' must be 1..255 on each side");
    return ImageSize{static_cast<int32_t>(w), static_cast<int32_t>(h)};
}

Footprint parseFootprint(const std::string& option, const std::string& text) {
    const auto colon = text.find(':');
    const std::string shape = text.substr(0, colon);
    if (colon == std::string::npos || (shape != "disk" && shape != "rect" && shape != "cross"))
        fail("option " + option + ": '" + text + "' is not disk:R, rect:WxH or cross:R");
    const std::string arg = text.substr(colon + 1);
    Footprint f;
    f.text = text;
    if (shape == "rect") {
        f.size = parseSize(option, arg);
        f.mask.assign(static_cast<std::size_t>(f.size.width) * f.size.height, 1);
    } else {
        const double r = parseNumber(option, arg, true);
        if (r < 0 || r > 127) fail("option " + option + ": radius " + arg + " must be 0..127");
        const int R = static_cast<int>(r), side = 2 * R + 1;
        f.size = ImageSize{side, side};
        f.mask.assign(static_cast<std::size_t>(side) * side, 0);
        for (int y = -R; y <= R; ++y)
            for (int x = -R; x <= R; ++x) {
                const bool in = shape == "disk" ? x * x + y * y <= R * R : (x == 0 || y == 0);
                f.mask[static_cast<std::size_t>(y + R) * side + (x + R)] = in ? 1 : 0;
            }
    }
    f.anchor = ImagePoint{f.size.width / 2, f.size.height / 2};
    return f;
}

bool Args::has(const std::string& name) const {
    const auto it = values.find(name);
    return it != values.end() && !it->second.empty();
}

const std::string& Args::text(const std::string& name) const {
    static const std::string empty;
    const auto it = values.find(name);
    return it == values.end() ? empty : it->second;
}

int Args::integer(const std::string& name) const { return static_cast<int>(parseNumber("--" + name, text(name), true)); }
float Args::real(const std::string& name) const {
    const double v = parseNumber("--" + name, text(name), false);
    if (std::fabs(v) > std::numeric_limits<float>::max())
        fail("option --" + name + ": " + text(name) + " does not fit a 32-bit float");
    return static_cast<float>(v);
}

uint8_t Args::byte(const std::string& name) const {
    const float v = real(name);
    if (!(v >= 0 && v <= 255) || v != std::floor(v)) fail("option --" + name + ": an 8-bit image takes whole numbers 0..255");
    return static_cast<uint8_t>(v);
}
bool Args::flag(const std::string& name) const { return text(name) == "1"; }
ImagePoint Args::point(const std::string& name) const { return parsePoint("--" + name, text(name)); }
ImageSize Args::size(const std::string& name) const { return parseSize("--" + name, text(name)); }
Footprint Args::footprint(const std::string& name) const { return parseFootprint("--" + name, text(name)); }

int Args::choice(const std::string& name) const {
    for (const OptSpec& o : op->options)
        if (o.name == name) {
            const auto it = std::find(o.choices.begin(), o.choices.end(), text(name));
            return static_cast<int>(it - o.choices.begin());
        }
    return 0;
}

std::string Args::output(std::size_t i) const { return i < outputs.size() ? outputs[i] : "-"; }

// ---- list and help ----------------------------------------------------------------

int listOperations() {
    std::string family;
    for (const OpSpec& op : operations()) {
        if (op.family != family) {
            family = op.family;
            std::printf("%s%s\n", family == operations().front().family ? "" : "\n", family.c_str());
        }
        std::printf("  %-14s %s\n", op.name.c_str(), op.summary.c_str());
    }
    std::printf("\nzalcv help OPERATION shows its options; zalcv info, zalcv demo [DIR] as before.\n");
    return 0;
}

int printHelp(const std::string& name) {
    const OpSpec* op = findOperation(name);
    if (!op) {
        std::fprintf(stderr, "zalcv: unknown operation '%s' (zalcv list shows them)\n", name.c_str());
        return kExitUsage;
    }
    std::printf("zalcv %s: %s\n\nusage: %s\n", op->name.c_str(), op->summary.c_str(), usageLine(*op).c_str());
    if (op->batch()) std::printf("       zalcv %s [OPTIONS] --input-dir DIR --output-dir DIR [-j N]\n", op->name.c_str());
    std::printf("\ntakes: %s\n", op->accepts.c_str());
    if (!op->details.empty()) std::printf("\n%s\n", op->details.c_str());
    if (!op->options.empty()) {
        std::printf("\noptions:\n");
        printOptions(op->options);
    }
    std::printf("\ncommon options:\n");
    printOptions(commonOptions());
    if (op->batch()) printOptions(batchOptions());
    return 0;
}

// ---- Running an operation --------------------------------------------------------

int runCommandLine(int argc, char** argv) {
    const std::string name = argv[1];
    const OpSpec* op = findOperation(name);
    if (!op) {
        std::fprintf(stderr, "zalcv: unknown operation '%s' (zalcv list shows them)\n", name.c_str());
        return kExitUsage;
    }
    const std::string prefix = "zalcv " + op->name + ": ";
    try {
        CLI::App app{op->summary, "zalcv " + op->name};
        app.set_help_flag();
        bool help = false;
        app.add_flag("-h,--help", help);
        std::map<std::string, std::string> texts;
        std::map<std::string, bool> flags;
        std::vector<const OptSpec*> all;
        for (const auto* group : {&op->options, &commonOptions(), &batchOptions()})
            for (const OptSpec& o : *group) all.push_back(&o);
        for (const OptSpec* o : all) {
            std::string names = "--" + o->name;
            if (o->name == "jobs") names = "-j," + names;
            if (o->kind == OptKind::Flag)
                app.add_flag(names, flags[o->name]);
            else
                app.add_option(names, texts[o->name]);
        }
        std::vector<std::string> files;
        app.add_option("files", files);
        app.parse(argc - 1, argv + 1);
        if (help) return printHelp(op->name);

        Args args;
        args.op = op;
        for (const OptSpec* o : all) {
            if (o->kind == OptKind::Flag) {
                args.values[o->name] = flags[o->name] ? "1" : "";
                continue;
            }
            std::string v = texts[o->name];
            if (v.empty() && o->required) fail("option --" + o->name + " is required");
            if (v.empty()) v = o->def;
            if (!v.empty()) validate(*o, v);
            args.values[o->name] = v;
        }
        args.write.normalize = args.flag("normalize");
        args.write.jpegQuality = args.integer("quality");
        args.convert = args.flag("convert");
        args.quiet = args.flag("quiet");
        if (args.has("threads")) zalSetNumThreads(args.integer("threads"));

        const bool batch = args.has("input-dir") || args.has("output-dir");
        if (batch) {
            if (!op->batch()) fail("batch mode needs an operation with one image input and one image output");
            if (!args.has("input-dir") || !args.has("output-dir")) fail("batch mode needs both --input-dir and --output-dir");
            if (!files.empty()) fail("batch mode takes no file arguments ('" + files[0] + "')");
            BatchOptions b;
            b.inputDir = args.text("input-dir");
            b.outputDir = args.text("output-dir");
            b.jobs = args.integer("jobs");
            b.format = args.text("format");
            b.threads = args.has("threads") ? args.integer("threads") : 0;
            return runBatch(*op, args, b);
        }

        // Positional files: the inputs (a trailing "..." takes one or more),
        // then the outputs.
        const bool variadic = !op->inputs.empty() && op->inputs.back().find("...") != std::string::npos;
        const std::size_t nOut = op->outputs.size();
        const std::size_t minOut = op->optionalOutput ? nOut - 1 : nOut;
        const std::size_t nIn = op->inputs.size();
        std::size_t inputs = 0;
        if (variadic) {
            if (files.size() < nIn + nOut) fail("expected " + usageLine(*op));
            inputs = files.size() - nOut;
        } else {
            if (files.size() < nIn + minOut || files.size() > nIn + nOut) fail("expected " + usageLine(*op));
            inputs = nIn;
        }
        args.inputs.assign(files.begin(), files.begin() + static_cast<std::ptrdiff_t>(inputs));
        args.outputs.assign(files.begin() + static_cast<std::ptrdiff_t>(inputs), files.end());
        op->run(args);
        return 0;
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "%s%s\n", prefix.c_str(), e.what());
        return kExitUsage;
    } catch (const Error& e) {
        std::fprintf(stderr, "%s%s\n", prefix.c_str(), e.what());
        return e.exitCode;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "%sout of memory\n", prefix.c_str());
        return kExitLibrary;
    }
}

}  // namespace cli
