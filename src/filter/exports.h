// Every export of the filter family, once. One list per shape of prototype; a
// row is one export, its name first, then what the shape's wrapper needs.
// The wrappers, the internal instantiations and the tests' member lists all
// expand these lists (see core/export.h).
#pragma once

// ---- Separable pipeline: row pass with horizontal border -------------------------

// 32f: (name, channels, type of the border value argument)
#define ZAL_FILTER_ROW_PIPELINE_32F(X) \
    X(zaliFilterRowBorderPipeline_32f_C1R, 1, float) X(zaliFilterRowBorderPipeline_32f_C3R, 3, const float*)
// With a divisor: (name, source type, channels, wrapping variant, type of the border value argument)
#define ZAL_FILTER_ROW_PIPELINE(X)                                                                              \
    X(zaliFilterRowBorderPipeline_16s_C1R, int16_t, 1, false, int16_t)                                          \
    X(zaliFilterRowBorderPipeline_16s_C3R, int16_t, 3, false, const int16_t*)                                   \
    X(zaliFilterRowBorderPipeline_8u16s_C1R, uint8_t, 1, false, uint8_t)                                        \
    X(zaliFilterRowBorderPipeline_8u16s_C3R, uint8_t, 3, false, const uint8_t*)                                 \
    X(zaliFilterRowBorderPipeline_Low_16s_C1R, int16_t, 1, true, int16_t)                                       \
    X(zaliFilterRowBorderPipeline_Low_16s_C3R, int16_t, 3, true, const int16_t*)
// (name, source type, destination type, channels, wrapping variant)
#define ZAL_FILTER_ROW_PIPELINE_SIZE(X)                                                                         \
    X(zaliFilterRowBorderPipelineGetBufferSize_32f_C1R, float, float, 1, false)                                 \
    X(zaliFilterRowBorderPipelineGetBufferSize_32f_C3R, float, float, 3, false)                                 \
    X(zaliFilterRowBorderPipelineGetBufferSize_16s_C1R, int16_t, int16_t, 1, false)                             \
    X(zaliFilterRowBorderPipelineGetBufferSize_16s_C3R, int16_t, int16_t, 3, false)                             \
    X(zaliFilterRowBorderPipelineGetBufferSize_8u16s_C1R, uint8_t, int16_t, 1, false)                           \
    X(zaliFilterRowBorderPipelineGetBufferSize_8u16s_C3R, uint8_t, int16_t, 3, false)                           \
    X(zaliFilterRowBorderPipelineGetBufferSize_Low_16s_C1R, int16_t, int16_t, 1, true)                          \
    X(zaliFilterRowBorderPipelineGetBufferSize_Low_16s_C3R, int16_t, int16_t, 3, true)

// ---- Separable pipeline: column pass ----------------------------------------------

// 32f: (name, channels)
#define ZAL_FILTER_COLUMN_PIPELINE_32F(X) \
    X(zaliFilterColumnPipeline_32f_C1R, 1) X(zaliFilterColumnPipeline_32f_C3R, 3)
// 16s sources with a divisor: (name, destination type, channels, wrapping variant)
#define ZAL_FILTER_COLUMN_PIPELINE(X)                                                                           \
    X(zaliFilterColumnPipeline_16s_C1R, int16_t, 1, false) X(zaliFilterColumnPipeline_16s_C3R, int16_t, 3, false) \
    X(zaliFilterColumnPipeline_16s8u_C1R, uint8_t, 1, false)                                                    \
    X(zaliFilterColumnPipeline_16s8u_C3R, uint8_t, 3, false)                                                    \
    X(zaliFilterColumnPipeline_16s8s_C1R, int8_t, 1, false)                                                     \
    X(zaliFilterColumnPipeline_16s8s_C3R, int8_t, 3, false)                                                     \
    X(zaliFilterColumnPipeline_Low_16s_C1R, int16_t, 1, true)                                                   \
    X(zaliFilterColumnPipeline_Low_16s_C3R, int16_t, 3, true)
// (name, source type, destination type, channels, wrapping variant)
#define ZAL_FILTER_COLUMN_PIPELINE_SIZE(X)                                                                      \
    X(zaliFilterColumnPipelineGetBufferSize_32f_C1R, float, float, 1, false)                                    \
    X(zaliFilterColumnPipelineGetBufferSize_32f_C3R, float, float, 3, false)                                    \
    X(zaliFilterColumnPipelineGetBufferSize_16s_C1R, int16_t, int16_t, 1, false)                                \
    X(zaliFilterColumnPipelineGetBufferSize_16s_C3R, int16_t, int16_t, 3, false)                                \
    X(zaliFilterColumnPipelineGetBufferSize_16s8u_C1R, int16_t, uint8_t, 1, false)                              \
    X(zaliFilterColumnPipelineGetBufferSize_16s8u_C3R, int16_t, uint8_t, 3, false)                              \
    X(zaliFilterColumnPipelineGetBufferSize_16s8s_C1R, int16_t, int8_t, 1, false)                               \
    X(zaliFilterColumnPipelineGetBufferSize_16s8s_C3R, int16_t, int8_t, 3, false)                               \
    X(zaliFilterColumnPipelineGetBufferSize_Low_16s_C1R, int16_t, int16_t, 1, true)                             \
    X(zaliFilterColumnPipelineGetBufferSize_Low_16s_C3R, int16_t, int16_t, 3, true)

// ---- Fixed filters with border ---------------------------------------------------
// The operation is a zal::filter::Fixed enumerator.

// With an aperture: (name, operation, source type, destination type)
#define ZAL_FILTER_FIXED(X)                                                                                     \
    X(zaliFilterSobelHorizBorder_8u16s_C1R, SobelHoriz, uint8_t, int16_t)                                      \
    X(zaliFilterSobelHorizBorder_32f_C1R, SobelHoriz, float, float)                                            \
    X(zaliFilterSobelVertBorder_8u16s_C1R, SobelVert, uint8_t, int16_t)                                        \
    X(zaliFilterSobelVertBorder_32f_C1R, SobelVert, float, float)                                              \
    X(zaliFilterSobelNegVertBorder_8u16s_C1R, SobelNegVert, uint8_t, int16_t)                                  \
    X(zaliFilterSobelNegVertBorder_32f_C1R, SobelNegVert, float, float)                                        \
    X(zaliFilterSobelHorizSecondBorder_8u16s_C1R, SobelHorizSecond, uint8_t, int16_t)                          \
    X(zaliFilterSobelHorizSecondBorder_32f_C1R, SobelHorizSecond, float, float)                                \
    X(zaliFilterSobelVertSecondBorder_8u16s_C1R, SobelVertSecond, uint8_t, int16_t)                            \
    X(zaliFilterSobelVertSecondBorder_32f_C1R, SobelVertSecond, float, float)                                  \
    X(zaliFilterSobelCrossBorder_8u16s_C1R, SobelCross, uint8_t, int16_t)                                      \
    X(zaliFilterSobelCrossBorder_32f_C1R, SobelCross, float, float)                                            \
    X(zaliFilterLaplacianBorder_8u16s_C1R, Laplacian, uint8_t, int16_t)                                        \
    X(zaliFilterLaplacianBorder_32f_C1R, Laplacian, float, float)                                              \
    X(zaliFilterLowpassBorder_8u_C1R, Lowpass, uint8_t, uint8_t)                                               \
    X(zaliFilterLowpassBorder_32f_C1R, Lowpass, float, float)
// With an aperture, 8u to 8s with a divisor: (name, operation)
#define ZAL_FILTER_FIXED_8U8S(X)                                                                                \
    X(zaliFilterSobelHorizBorder_8u8s_C1R, SobelHoriz) X(zaliFilterSobelVertBorder_8u8s_C1R, SobelVert)         \
    X(zaliFilterSobelNegVertBorder_8u8s_C1R, SobelNegVert)                                                     \
    X(zaliFilterSobelHorizSecondBorder_8u8s_C1R, SobelHorizSecond)                                             \
    X(zaliFilterSobelVertSecondBorder_8u8s_C1R, SobelVertSecond)                                               \
    X(zaliFilterSobelCrossBorder_8u8s_C1R, SobelCross) X(zaliFilterLaplacianBorder_8u8s_C1R, Laplacian)
// Scharr, 3x3 only, no aperture argument: (name, operation, source type, destination type)
#define ZAL_FILTER_SCHARR(X)                                                                                    \
    X(zaliFilterScharrHorizBorder_8u16s_C1R, ScharrHoriz, uint8_t, int16_t)                                    \
    X(zaliFilterScharrHorizBorder_32f_C1R, ScharrHoriz, float, float)                                          \
    X(zaliFilterScharrVertBorder_8u16s_C1R, ScharrVert, uint8_t, int16_t)                                      \
    X(zaliFilterScharrVertBorder_32f_C1R, ScharrVert, float, float)
// (name, operation)
#define ZAL_FILTER_SCHARR_8U8S(X) \
    X(zaliFilterScharrHorizBorder_8u8s_C1R, ScharrHoriz) X(zaliFilterScharrVertBorder_8u8s_C1R, ScharrVert)

// Work-buffer queries with an aperture: (name, operation, source type, destination type)
#define ZAL_FILTER_FIXED_SIZE(X)                                                                                \
    X(zaliFilterSobelHorizGetBufferSize_8u16s_C1R, SobelHoriz, uint8_t, int16_t)                               \
    X(zaliFilterSobelHorizGetBufferSize_8u8s_C1R, SobelHoriz, uint8_t, int8_t)                                 \
    X(zaliFilterSobelHorizGetBufferSize_32f_C1R, SobelHoriz, float, float)                                     \
    X(zaliFilterSobelVertGetBufferSize_8u16s_C1R, SobelVert, uint8_t, int16_t)                                 \
    X(zaliFilterSobelVertGetBufferSize_8u8s_C1R, SobelVert, uint8_t, int8_t)                                   \
    X(zaliFilterSobelVertGetBufferSize_32f_C1R, SobelVert, float, float)                                       \
    X(zaliFilterSobelNegVertGetBufferSize_8u16s_C1R, SobelNegVert, uint8_t, int16_t)                           \
    X(zaliFilterSobelNegVertGetBufferSize_8u8s_C1R, SobelNegVert, uint8_t, int8_t)                             \
    X(zaliFilterSobelNegVertGetBufferSize_32f_C1R, SobelNegVert, float, float)                                 \
    X(zaliFilterSobelHorizSecondGetBufferSize_8u16s_C1R, SobelHorizSecond, uint8_t, int16_t)                   \
    X(zaliFilterSobelHorizSecondGetBufferSize_8u8s_C1R, SobelHorizSecond, uint8_t, int8_t)                     \
    X(zaliFilterSobelHorizSecondGetBufferSize_32f_C1R, SobelHorizSecond, float, float)                         \
    X(zaliFilterSobelVertSecondGetBufferSize_8u16s_C1R, SobelVertSecond, uint8_t, int16_t)                     \
    X(zaliFilterSobelVertSecondGetBufferSize_8u8s_C1R, SobelVertSecond, uint8_t, int8_t)                       \
    X(zaliFilterSobelVertSecondGetBufferSize_32f_C1R, SobelVertSecond, float, float)                           \
    X(zaliFilterSobelCrossGetBufferSize_8u16s_C1R, SobelCross, uint8_t, int16_t)                               \
    X(zaliFilterSobelCrossGetBufferSize_8u8s_C1R, SobelCross, uint8_t, int8_t)                                 \
    X(zaliFilterSobelCrossGetBufferSize_32f_C1R, SobelCross, float, float)                                     \
    X(zaliFilterLaplacianGetBufferSize_8u16s_C1R, Laplacian, uint8_t, int16_t)                                 \
    X(zaliFilterLaplacianGetBufferSize_8u8s_C1R, Laplacian, uint8_t, int8_t)                                   \
    X(zaliFilterLaplacianGetBufferSize_32f_C1R, Laplacian, float, float)                                       \
    X(zaliFilterLowpassGetBufferSize_8u_C1R, Lowpass, uint8_t, uint8_t)                                        \
    X(zaliFilterLowpassGetBufferSize_32f_C1R, Lowpass, float, float)
// Scharr queries, no aperture: (name, operation, source type, destination type)
#define ZAL_FILTER_SCHARR_SIZE(X)                                                                               \
    X(zaliFilterScharrHorizGetBufferSize_8u16s_C1R, ScharrHoriz, uint8_t, int16_t)                             \
    X(zaliFilterScharrHorizGetBufferSize_8u8s_C1R, ScharrHoriz, uint8_t, int8_t)                               \
    X(zaliFilterScharrHorizGetBufferSize_32f_C1R, ScharrHoriz, float, float)                                   \
    X(zaliFilterScharrVertGetBufferSize_8u16s_C1R, ScharrVert, uint8_t, int16_t)                               \
    X(zaliFilterScharrVertGetBufferSize_8u8s_C1R, ScharrVert, uint8_t, int8_t)                                 \
    X(zaliFilterScharrVertGetBufferSize_32f_C1R, ScharrVert, float, float)

// ---- Sobel-type kernel generator: (name, tap type) --------------------------------
#define ZAL_FILTER_SOBEL_KERNEL(X) X(zaliGenSobelKernel_16s, int16_t) X(zaliGenSobelKernel_32f, float)

// ---- Rectangular minimum/maximum filters with replicated border -------------------

// (name, element type, channels, comparison: zal::filter::minmax::Min or Max)
#define ZAL_FILTER_MINMAX(X)                                                                                    \
    X(zaliFilterMinBorderReplicate_8u_C1R, uint8_t, 1, Min) X(zaliFilterMinBorderReplicate_8u_C3R, uint8_t, 3, Min) \
    X(zaliFilterMinBorderReplicate_8u_C4R, uint8_t, 4, Min) X(zaliFilterMinBorderReplicate_32f_C1R, float, 1, Min) \
    X(zaliFilterMinBorderReplicate_32f_C3R, float, 3, Min) X(zaliFilterMinBorderReplicate_32f_C4R, float, 4, Min) \
    X(zaliFilterMaxBorderReplicate_8u_C1R, uint8_t, 1, Max) X(zaliFilterMaxBorderReplicate_8u_C3R, uint8_t, 3, Max) \
    X(zaliFilterMaxBorderReplicate_8u_C4R, uint8_t, 4, Max) X(zaliFilterMaxBorderReplicate_32f_C1R, float, 1, Max) \
    X(zaliFilterMaxBorderReplicate_32f_C3R, float, 3, Max) X(zaliFilterMaxBorderReplicate_32f_C4R, float, 4, Max)
// Their work-buffer queries (Min and Max report the same): (name, element type, channels)
#define ZAL_FILTER_MINMAX_SIZE(X)                                                                               \
    X(zaliFilterMinGetBufferSize_8u_C1R, uint8_t, 1) X(zaliFilterMinGetBufferSize_8u_C3R, uint8_t, 3)           \
    X(zaliFilterMinGetBufferSize_8u_C4R, uint8_t, 4) X(zaliFilterMinGetBufferSize_32f_C1R, float, 1)            \
    X(zaliFilterMinGetBufferSize_32f_C3R, float, 3) X(zaliFilterMinGetBufferSize_32f_C4R, float, 4)             \
    X(zaliFilterMaxGetBufferSize_8u_C1R, uint8_t, 1) X(zaliFilterMaxGetBufferSize_8u_C3R, uint8_t, 3)           \
    X(zaliFilterMaxGetBufferSize_8u_C4R, uint8_t, 4) X(zaliFilterMaxGetBufferSize_32f_C1R, float, 1)            \
    X(zaliFilterMaxGetBufferSize_32f_C3R, float, 3) X(zaliFilterMaxGetBufferSize_32f_C4R, float, 4)

// ---- All of them (for X macros that take the name and ignore the rest) ------------
#define ZAL_FILTER_EXPORTS(X)                                                                                   \
    ZAL_FILTER_ROW_PIPELINE_32F(X) ZAL_FILTER_ROW_PIPELINE(X) ZAL_FILTER_ROW_PIPELINE_SIZE(X)                   \
    ZAL_FILTER_COLUMN_PIPELINE_32F(X) ZAL_FILTER_COLUMN_PIPELINE(X) ZAL_FILTER_COLUMN_PIPELINE_SIZE(X)          \
    ZAL_FILTER_FIXED(X) ZAL_FILTER_FIXED_8U8S(X) ZAL_FILTER_SCHARR(X) ZAL_FILTER_SCHARR_8U8S(X)                 \
    ZAL_FILTER_FIXED_SIZE(X) ZAL_FILTER_SCHARR_SIZE(X) ZAL_FILTER_SOBEL_KERNEL(X) ZAL_FILTER_MINMAX(X)          \
    ZAL_FILTER_MINMAX_SIZE(X)
