# tarnex_wrap_host_calls(<target>): routes the target's host calls through the
# allocation probe's wrappers (GNU ld --wrap; native builds only).
set(TARNEX_PROBED_HOST_CALLS
  VekIddOpenSelIdData VekIddGetHeadSelIdData VekIddGetNextSelIdData VekIddCloseSelIdData
  VekSgmCreateSegment VekSgmEditSegment VekSgmDeleteSegment VekSgmGetLayer VekSgmChangeLayer
  VekSgmGetHeadElementId VekSgmGetTailElementId VekElmGetNextElementId VekElmGetType
  VekFigGetFigure VekFigGetFigure2 VekFigIsClosed VekFigSetClosed VekFigCreateFigure
  VekFigInsertFigure VekFigGetLineType VekFigSetLineType VekFigAddCorner VekFigChangeCorner
  VekAriLen2Pnts VekAriAngRad2Pnts VekAriTanCir2Pnts VekMsgPutErrorMessage VekDlgMessageBox)
set(TARNEX_PROBE_SOURCES ${CMAKE_CURRENT_LIST_DIR}/AllocationProbe.cpp)
function(tarnex_wrap_host_calls target)
  foreach(call IN LISTS TARNEX_PROBED_HOST_CALLS)
    target_link_options(${target} PRIVATE "LINKER:--wrap=${call}")
  endforeach()
endfunction()
