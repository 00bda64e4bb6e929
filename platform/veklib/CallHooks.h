// Counting, logging, observing and fault injection for the host calls. Every
// call passes through Fails() (or FailsWithoutResult()) and hands its result
// back through Returns(); for a call no log, observer or fault watches this
// is a counter increment and two branches, so that benchmarks of the plug-in
// measure the plug-in, and a run observed for a few calls pays only for those.
#pragma once

#include "veksdk/VekLib.h"

#include <cstdint>

namespace vekhost::detail {

#define VEK_CALLS(X)          \
    X(VekCtlRegisterVekLib2)  \
    X(VekCtlSetExecuteFunc)   \
    X(VekCtlSetReadyFunc)     \
    X(VekEvtSetEventMask)     \
    X(VekEvtGetPoint)         \
    X(VekEvtSetObject)        \
    X(VekMsgPutMessage)       \
    X(VekMsgPutCursorMessage) \
    X(VekMsgPutErrorMessage)  \
    X(VekDlgMessageBox)       \
    X(VekIddClearSysIdData)   \
    X(VekIddOpenSelIdData)    \
    X(VekIddGetHeadSelIdData) \
    X(VekIddGetNextSelIdData) \
    X(VekIddCloseSelIdData)   \
    X(VekSgmCreateSegment)    \
    X(VekSgmEditSegment)      \
    X(VekSgmDeleteSegment)    \
    X(VekSgmGetLayer)         \
    X(VekSgmChangeLayer)      \
    X(VekSgmGetHeadElementId) \
    X(VekSgmGetTailElementId) \
    X(VekElmGetNextElementId) \
    X(VekElmGetType)          \
    X(VekFigGetFigure)        \
    X(VekFigGetFigure2)       \
    X(VekFigIsClosed)         \
    X(VekFigSetClosed)        \
    X(VekFigCreateFigure)     \
    X(VekFigInsertFigure)     \
    X(VekFigGetLineType)      \
    X(VekFigSetLineType)      \
    X(VekFigAddCorner)        \
    X(VekFigChangeCorner)     \
    X(VekAriLen2Pnts)         \
    X(VekAriAngRad2Pnts)      \
    X(VekAriTanCir2Pnts)

enum CallId : int {
#define VEK_ENUM(name) k##name,
    VEK_CALLS(VEK_ENUM)
#undef VEK_ENUM
        kCallCount
};

// Numeric arguments of one call, as the log shows them and fault predicates
// see them: identifiers and numbers as given, points as x then y, keys as
// context then identifier, figure records as their kind; texts only in the log.
struct Args {
    double v[12];
    int n = 0;
    const VekChar* text = nullptr;
    bool hasText = false;

    Args& Num(double x) {
        if (n < 12) {
            v[n++] = x;
        }
        return *this;
    }
    Args& Pt(const double* p) {
        if (p) {
            Num(p[0]).Num(p[1]);
        }
        return *this;
    }
    Args& Text(const VekChar* t) {
        text = t;
        hasText = true;
        return *this;
    }
};

// Per call: a log, an observer or a fault watches it.
extern bool gHooked[kCallCount];
extern int64_t gCallCounts[kCallCount];  // wide: long benchmarks make billions of calls

bool EnterSlow(CallId id, const Args& args, bool hasResult);
void LeaveSlow(CallId id, double result);

// Counts the call; true when an injected fault makes it fail. The arguments
// are gathered (by `makeArgs`) only when a log or a fault needs them.
template <class MakeArgs>
inline bool Fails(CallId id, MakeArgs&& makeArgs) {
    ++gCallCounts[id];
    return gHooked[id] && EnterSlow(id, makeArgs(), true);
}

// The same for a call without a result: an observer sees it as it is made.
template <class MakeArgs>
inline bool FailsWithoutResult(CallId id, MakeArgs&& makeArgs) {
    ++gCallCounts[id];
    return gHooked[id] && EnterSlow(id, makeArgs(), false);
}

// Every result of a call that has one passes through here, failures included,
// so that an observer sees it.
template <class T>
inline T Returns(CallId id, T result) {
    if (gHooked[id]) {
        LeaveSlow(id, static_cast<double>(result));
    }
    return result;
}

void ResetHooks();
int CallIdByName(const char* name, size_t length);  // -1 when unknown

}  // namespace vekhost::detail
