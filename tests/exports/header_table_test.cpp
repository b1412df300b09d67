// Each family's export table (src/<family>/exports.h) against the prototypes
// of its public header (include/zalcv/<family>.h): the same names, each once.
// The wrappers already refuse a table row without a matching prototype; this
// catches a prototype that no table row defines.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/export.h"
#include "core/exports.h"
#include "stats/exports.h"
#include "filter/exports.h"
#include "feature/exports.h"
#include "morph/exports.h"
#include "region/exports.h"
#include "pyramid/exports.h"
#include "objdetect/exports.h"
#include "geometry/exports.h"

namespace {

struct Family {
    std::string name;
    std::vector<std::string> table;
};

// Every family keeps an export table.
std::vector<Family> tabledFamilies() {
    return {{"core", {ZAL_CORE_EXPORTS(ZAL_EXPORT_NAME)}},
            {"stats", {ZAL_STATS_EXPORTS(ZAL_EXPORT_NAME)}},
            {"filter", {ZAL_FILTER_EXPORTS(ZAL_EXPORT_NAME)}},
            {"feature", {ZAL_FEATURE_EXPORTS(ZAL_EXPORT_NAME)}},
            {"morph", {ZAL_MORPH_EXPORTS(ZAL_EXPORT_NAME)}},
            {"region", {ZAL_REGION_EXPORTS(ZAL_EXPORT_NAME)}},
            {"pyramid", {ZAL_PYRAMID_EXPORTS(ZAL_EXPORT_NAME)}},
            {"objdetect", {ZAL_OBJDETECT_EXPORTS(ZAL_EXPORT_NAME)}},
            {"geometry", {ZAL_GEOMETRY_EXPORTS(ZAL_EXPORT_NAME)}}};
}

// Names declared with ZALCV_API in include/zalcv/<family>.h (zal* and the
// one _zlcv* export, the line iterator).
std::vector<std::string> declaredIn(const std::string& family) {
    std::ifstream in(std::string(ZALCV_INCLUDE_DIR) + "/zalcv/" + family + ".h");
    std::stringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    static const std::regex prototype(R"(ZALCV_API[^;]*?\b((?:zal|_zlcv)[A-Za-z0-9_]+)\s*\()");
    std::vector<std::string> names;
    for (auto it = std::sregex_iterator(s.begin(), s.end(), prototype); it != std::sregex_iterator(); ++it)
        names.push_back((*it)[1]);
    return names;
}

TEST(ExportTables, EveryPrototypeIsInItsFamilyTableOnce) {
    for (const Family& family : tabledFamilies()) {
        SCOPED_TRACE(family.name);
        const std::vector<std::string> declared = declaredIn(family.name);
        ASSERT_FALSE(declared.empty());
        std::multiset<std::string> table(family.table.begin(), family.table.end());
        for (const std::string& name : family.table) EXPECT_EQ(table.count(name), 1u) << name << " listed twice";
        for (const std::string& name : declared) EXPECT_EQ(table.count(name), 1u) << name << " is in no table row";
        EXPECT_EQ(table.size(), declared.size());
    }
}

}  // namespace
