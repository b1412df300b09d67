// The filter family's size queries near the int limits (see
// common/size_queries.h for what every query must satisfy).
#include "common/size_queries.h"
#include "filter/exports.h"

namespace {

using zaltest::SizeQuery;
using zaltest::Wide;

using PipelineQuery = StatusCode (*)(ImageSize, int, int*);
using ApertureQuery = StatusCode (*)(ImageSize, ApertureSize, int*);
using MinMaxQuery = StatusCode (*)(int, ImageSize, int*);

// Pipelines: walked over the ROI with a 5-tap kernel, and over the kernel
// size with a w x 1 ROI. Their counts depend on the worker count only, so
// the walk's monotony is the check.
void addPipeline(std::vector<SizeQuery>& table, const std::string& name, PipelineQuery q) {
    table.push_back({name + " roi", [q](int w, int h, int* b) { return q(ImageSize{w, h}, 5, b); },
                     [](Wide, Wide) { return Wide(0); }});
    table.push_back({name + " kernel", [q](int w, int h, int* b) { return q(ImageSize{w, 1}, h, b); },
                     [](Wide, Wide) { return Wide(0); }});
}

// Fixed filters keep lines of the ROI width at least.
void addFixed(std::vector<SizeQuery>& table, const std::string& name, ApertureQuery q) {
    for (ApertureSize mask : {Aperture3x3, Aperture5x5})
        table.push_back({name + (mask == Aperture3x3 ? " 3x3" : " 5x5"),
                         [q, mask](int w, int h, int* b) { return q(ImageSize{w, h}, mask, b); },
                         [](Wide w, Wide) { return w; }});
}

// Min/max filters for ROI rows of w pixels and a w x h mask, as documented:
// 16 mh + 2 mh (roiWidth pixelBytes + 32) + 32.
void addMinMax(std::vector<SizeQuery>& table, const std::string& name, MinMaxQuery q, int pixelBytes) {
    table.push_back({name, [q](int w, int h, int* b) { return q(w, ImageSize{w, h}, b); },
                     [pixelBytes](Wide w, Wide h) { return 16 * h + 2 * h * (w * pixelBytes + 32) + 32; }, true});
}

TEST(FilterSizeQueries, ExactOrRefusedUpToIntLimits) {
    std::vector<SizeQuery> table;
#define PIPELINE_QUERY(name, ...) addPipeline(table, #name, name);
    ZAL_FILTER_ROW_PIPELINE_SIZE(PIPELINE_QUERY)
    ZAL_FILTER_COLUMN_PIPELINE_SIZE(PIPELINE_QUERY)
#define FIXED_QUERY(name, ...) addFixed(table, #name, name);
    ZAL_FILTER_FIXED_SIZE(FIXED_QUERY)
#define SCHARR_QUERY(name, ...) \
    table.push_back({#name, [](int w, int h, int* b) { return name(ImageSize{w, h}, b); }, [](Wide w, Wide) { return w; }});
    ZAL_FILTER_SCHARR_SIZE(SCHARR_QUERY)
#define MINMAX_QUERY(name, T, C) addMinMax(table, #name, name, C * static_cast<int>(sizeof(T)));
    ZAL_FILTER_MINMAX_SIZE(MINMAX_QUERY)
    zaltest::checkSizeQueries(table);
}

}  // namespace
