#include "app/CommandFlow.h"

#include "state/CommandState.h"
#include "app/SettingsDialogInvocation.h"
#include "engine/ExplodedPass.h"
#include "engine/StandardPass.h"
#include "engine/WorkBuffers.h"
#include "settings/Settings.h"

namespace {

// Event codes the first stage acts on.
constexpr int32_t kPointIndicated = 2;
constexpr int32_t kPointEntered = 3;
constexpr int32_t kConfirmKey = 7;

// Results for the host.
constexpr int32_t kPointTaken = 2;
constexpr int32_t kIgnored = 3;

constexpr int32_t kReferencePointMask = 0x60000;
constexpr int32_t kFigureSelectionMask = 32;

}  // namespace

int32_t VEKCALL CommandStartFunc(void) {
    LoadSettings();
    VekEvtSetEventMask(kReferencePointMask);
    VekMsgPutMessage(VEK_TEXT(" 기준점지시/기준점입력(확정-설정창Open) :"));
    VekMsgPutCursorMessage(VEK_TEXT("기준점"));
    VekCtlSetExecuteFunc(RefPointExecuteFunc, VEK_TEXT(""));
    return 0;
}

int32_t VEKCALL CommandSecondFunc(void) {
    return 0;
}

int32_t VEKCALL RefPointExecuteFunc(int32_t event, intptr_t data, intptr_t /*arg3*/,
                                    intptr_t arg4) {
    double point[2] = {0.0, 0.0};
    const int32_t found = VekEvtGetPoint(event, data, point, arg4);
    if (found == 0 && (event == kPointIndicated || event == kPointEntered)) {
        RefPoint[0] = point[0];
        RefPoint[1] = point[1];
        VekCtlSetReadyFunc(FigureSelectReadyFunc, VEK_TEXT(""));
        return kPointTaken;
    }
    if (found != 0 && event == kConfirmKey) {
        // The first stage goes on afterwards: same prompt, mask and function.
        return RunSettingsDialog();
    }
    return kIgnored;
}

int32_t VEKCALL FigureSelectReadyFunc(void) {
    VekIddClearSysIdData();
    VekEvtSetEventMask(kFigureSelectionMask);
    ObjectFilter filter = {98, 479, 0, 0};
    VekEvtSetObject(&filter);
    VekMsgPutMessage(VEK_TEXT("소수점 자리수 변환하실 형상을 지시하세요."));
    VekMsgPutCursorMessage(VEK_TEXT("형상"));
    // Chosen each time: the dialog may have switched exploding on since the
    // command started.
    VekCtlSetExecuteFunc(ActiveSettings.IsExploded != 0 ? ExplodedPass : StandardPass,
                         VEK_TEXT(""));
    return 0;
}

void VEKCALL CommandEndFunc(void) {
    DeleteListedCopies();
}
