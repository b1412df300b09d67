/* zalcv: morph operations. Included by zalcv.h; do not include on its own. */
#ifndef ZALCV_MORPH_H
#define ZALCV_MORPH_H
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
