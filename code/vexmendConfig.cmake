# The vexmend package: the target vexmend::vexmend (the shared library and
# its header vexmend.h).
include("${CMAKE_CURRENT_LIST_DIR}/vexmendTargets.cmake")
