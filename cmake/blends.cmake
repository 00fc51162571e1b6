# The blend kernels' float rules must match their per-pixel reference bit
# for bit, so no multiply-add is fused where a vector target offers it.
set_source_files_properties(${CMAKE_SOURCE_DIR}/platform/pixels/blend_kernels.cpp PROPERTIES COMPILE_OPTIONS -ffp-contract=off)
