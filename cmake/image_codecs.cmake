# zalcv_image_codecs: the image codecs of the zalcv program
# (apps/zalcv/image*.cpp) for the targets that compile them in besides the
# program, the Python package (zalcv.io) and the image-file fuzz target. An
# INTERFACE library, so that each compiles the sources with its own flags;
# defined only where libpng, libjpeg and libtiff are found.
find_package(PNG QUIET)
find_package(JPEG QUIET)
find_package(TIFF QUIET)
if(PNG_FOUND AND JPEG_FOUND AND TIFF_FOUND)
  set(_zalcv_codec_dir ${PROJECT_SOURCE_DIR}/apps/zalcv)
  add_library(zalcv_image_codecs INTERFACE)
  target_sources(zalcv_image_codecs INTERFACE ${_zalcv_codec_dir}/image.cpp ${_zalcv_codec_dir}/image_io.cpp
    ${_zalcv_codec_dir}/image_io_png.cpp ${_zalcv_codec_dir}/image_io_jpeg.cpp ${_zalcv_codec_dir}/image_io_pnm.cpp
    ${_zalcv_codec_dir}/image_io_tiff.cpp ${_zalcv_codec_dir}/image_io_npy.cpp ${_zalcv_codec_dir}/atomic_file.cpp)
  target_include_directories(zalcv_image_codecs INTERFACE ${_zalcv_codec_dir})
  target_link_libraries(zalcv_image_codecs INTERFACE PNG::PNG JPEG::JPEG TIFF::TIFF)
endif()
