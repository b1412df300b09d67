/* zalcv: feature operations. Included by zalcv.h; do not include on its own. */
#ifndef ZALCV_FEATURE_H
#define ZALCV_FEATURE_H
#ifndef ZALCV_INSIDE_H
#error "include <zalcv.h> instead"
#endif

#ifdef __cplusplus
extern "C" {
#endif

#ifdef __cplusplus
}
#endif

#endif
