// The filter family's size queries near the int limits (see
// common/size_queries.h for what every query must satisfy).
#include "common/size_queries.h"

namespace {

using zaltest::SizeQuery;
using zaltest::Wide;

using PipelineQuery = StatusCode (*)(ImageSize, int, int*);
using ApertureQuery = StatusCode (*)(ImageSize, ApertureSize, int*);
using PlainQuery = StatusCode (*)(ImageSize, int*);
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
    addPipeline(table, "RowBorderPipeline 32f C1", zaliFilterRowBorderPipelineGetBufferSize_32f_C1R);
    addPipeline(table, "RowBorderPipeline 32f C3", zaliFilterRowBorderPipelineGetBufferSize_32f_C3R);
    addPipeline(table, "RowBorderPipeline 16s C1", zaliFilterRowBorderPipelineGetBufferSize_16s_C1R);
    addPipeline(table, "RowBorderPipeline 16s C3", zaliFilterRowBorderPipelineGetBufferSize_16s_C3R);
    addPipeline(table, "RowBorderPipeline 8u16s C1", zaliFilterRowBorderPipelineGetBufferSize_8u16s_C1R);
    addPipeline(table, "RowBorderPipeline 8u16s C3", zaliFilterRowBorderPipelineGetBufferSize_8u16s_C3R);
    addPipeline(table, "RowBorderPipeline Low 16s C1", zaliFilterRowBorderPipelineGetBufferSize_Low_16s_C1R);
    addPipeline(table, "RowBorderPipeline Low 16s C3", zaliFilterRowBorderPipelineGetBufferSize_Low_16s_C3R);
    addPipeline(table, "ColumnPipeline 32f C1", zaliFilterColumnPipelineGetBufferSize_32f_C1R);
    addPipeline(table, "ColumnPipeline 32f C3", zaliFilterColumnPipelineGetBufferSize_32f_C3R);
    addPipeline(table, "ColumnPipeline 16s C1", zaliFilterColumnPipelineGetBufferSize_16s_C1R);
    addPipeline(table, "ColumnPipeline 16s C3", zaliFilterColumnPipelineGetBufferSize_16s_C3R);
    addPipeline(table, "ColumnPipeline 16s8u C1", zaliFilterColumnPipelineGetBufferSize_16s8u_C1R);
    addPipeline(table, "ColumnPipeline 16s8u C3", zaliFilterColumnPipelineGetBufferSize_16s8u_C3R);
    addPipeline(table, "ColumnPipeline 16s8s C1", zaliFilterColumnPipelineGetBufferSize_16s8s_C1R);
    addPipeline(table, "ColumnPipeline 16s8s C3", zaliFilterColumnPipelineGetBufferSize_16s8s_C3R);
    addPipeline(table, "ColumnPipeline Low 16s C1", zaliFilterColumnPipelineGetBufferSize_Low_16s_C1R);
    addPipeline(table, "ColumnPipeline Low 16s C3", zaliFilterColumnPipelineGetBufferSize_Low_16s_C3R);

    addFixed(table, "SobelHoriz 8u16s", zaliFilterSobelHorizGetBufferSize_8u16s_C1R);
    addFixed(table, "SobelHoriz 8u8s", zaliFilterSobelHorizGetBufferSize_8u8s_C1R);
    addFixed(table, "SobelHoriz 32f", zaliFilterSobelHorizGetBufferSize_32f_C1R);
    addFixed(table, "SobelVert 8u16s", zaliFilterSobelVertGetBufferSize_8u16s_C1R);
    addFixed(table, "SobelVert 8u8s", zaliFilterSobelVertGetBufferSize_8u8s_C1R);
    addFixed(table, "SobelVert 32f", zaliFilterSobelVertGetBufferSize_32f_C1R);
    addFixed(table, "SobelNegVert 8u16s", zaliFilterSobelNegVertGetBufferSize_8u16s_C1R);
    addFixed(table, "SobelNegVert 8u8s", zaliFilterSobelNegVertGetBufferSize_8u8s_C1R);
    addFixed(table, "SobelNegVert 32f", zaliFilterSobelNegVertGetBufferSize_32f_C1R);
    addFixed(table, "SobelHorizSecond 8u16s", zaliFilterSobelHorizSecondGetBufferSize_8u16s_C1R);
    addFixed(table, "SobelHorizSecond 8u8s", zaliFilterSobelHorizSecondGetBufferSize_8u8s_C1R);
    addFixed(table, "SobelHorizSecond 32f", zaliFilterSobelHorizSecondGetBufferSize_32f_C1R);
    addFixed(table, "SobelVertSecond 8u16s", zaliFilterSobelVertSecondGetBufferSize_8u16s_C1R);
    addFixed(table, "SobelVertSecond 8u8s", zaliFilterSobelVertSecondGetBufferSize_8u8s_C1R);
    addFixed(table, "SobelVertSecond 32f", zaliFilterSobelVertSecondGetBufferSize_32f_C1R);
    addFixed(table, "SobelCross 8u16s", zaliFilterSobelCrossGetBufferSize_8u16s_C1R);
    addFixed(table, "SobelCross 8u8s", zaliFilterSobelCrossGetBufferSize_8u8s_C1R);
    addFixed(table, "SobelCross 32f", zaliFilterSobelCrossGetBufferSize_32f_C1R);
    addFixed(table, "Laplacian 8u16s", zaliFilterLaplacianGetBufferSize_8u16s_C1R);
    addFixed(table, "Laplacian 8u8s", zaliFilterLaplacianGetBufferSize_8u8s_C1R);
    addFixed(table, "Laplacian 32f", zaliFilterLaplacianGetBufferSize_32f_C1R);
    addFixed(table, "Lowpass 8u", zaliFilterLowpassGetBufferSize_8u_C1R);
    addFixed(table, "Lowpass 32f", zaliFilterLowpassGetBufferSize_32f_C1R);
    for (auto [name, q] : {std::pair<const char*, PlainQuery>{"ScharrHoriz 8u16s", zaliFilterScharrHorizGetBufferSize_8u16s_C1R},
                           {"ScharrHoriz 8u8s", zaliFilterScharrHorizGetBufferSize_8u8s_C1R},
                           {"ScharrHoriz 32f", zaliFilterScharrHorizGetBufferSize_32f_C1R},
                           {"ScharrVert 8u16s", zaliFilterScharrVertGetBufferSize_8u16s_C1R},
                           {"ScharrVert 8u8s", zaliFilterScharrVertGetBufferSize_8u8s_C1R},
                           {"ScharrVert 32f", zaliFilterScharrVertGetBufferSize_32f_C1R}})
        table.push_back({name, [q = q](int w, int h, int* b) { return q(ImageSize{w, h}, b); }, [](Wide w, Wide) { return w; }});

    addMinMax(table, "FilterMin 8u C1", zaliFilterMinGetBufferSize_8u_C1R, 1);
    addMinMax(table, "FilterMin 8u C3", zaliFilterMinGetBufferSize_8u_C3R, 3);
    addMinMax(table, "FilterMin 8u C4", zaliFilterMinGetBufferSize_8u_C4R, 4);
    addMinMax(table, "FilterMin 32f C1", zaliFilterMinGetBufferSize_32f_C1R, 4);
    addMinMax(table, "FilterMin 32f C3", zaliFilterMinGetBufferSize_32f_C3R, 12);
    addMinMax(table, "FilterMin 32f C4", zaliFilterMinGetBufferSize_32f_C4R, 16);
    addMinMax(table, "FilterMax 8u C1", zaliFilterMaxGetBufferSize_8u_C1R, 1);
    addMinMax(table, "FilterMax 8u C3", zaliFilterMaxGetBufferSize_8u_C3R, 3);
    addMinMax(table, "FilterMax 8u C4", zaliFilterMaxGetBufferSize_8u_C4R, 4);
    addMinMax(table, "FilterMax 32f C1", zaliFilterMaxGetBufferSize_32f_C1R, 4);
    addMinMax(table, "FilterMax 32f C3", zaliFilterMaxGetBufferSize_32f_C3R, 12);
    addMinMax(table, "FilterMax 32f C4", zaliFilterMaxGetBufferSize_32f_C4R, 16);
    zaltest::checkSizeQueries(table);
}

}  // namespace
