/* zalcv: pyramid operations. Included by zalcv.h; do not include on its own. */
#ifndef ZALCV_PYRAMID_H
#define ZALCV_PYRAMID_H
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
