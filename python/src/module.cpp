// The extension module zalcv._zalcv: one registration function per family.
#include "common.h"

PYBIND11_MODULE(_zalcv, m) {
    m.doc() = "Compiled core of the zalcv package; import zalcv instead.";
    zpy::initErrors(m);
    zpy::bindCore(m);
    zpy::bindStats(m);
    zpy::bindFilter(m);
    zpy::bindFeature(m);
    zpy::bindMorph(m);
    zpy::bindRegion(m);
    zpy::bindPyramid(m);
    zpy::bindObjdetect(m);
    zpy::bindGeometry(m);
#ifdef ZALCV_PYTHON_IMAGE_FILES
    zpy::bindImageFiles(m);
#endif
}
