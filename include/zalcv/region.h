/* zalcv: region operations. Included by zalcv.h; do not include on its own. */
#ifndef ZALCV_REGION_H
#define ZALCV_REGION_H
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
