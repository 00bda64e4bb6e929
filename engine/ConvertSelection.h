// The run over a completed figure selection that both conversion passes make.
#pragma once

#include "engine/Messages.h"
#include "veksdk/VekLib.h"
#include "engine/WorkBuffers.h"

#include <cstdint>

// Converts every entry of the selection (the host's event data) with
// `convert(entry)`, in selection order, then deletes the listed copies and
// shows the number of figures. Copies left listed by a run that stopped early
// are never part of a result, so they go first. When `convert` returns false
// (its message shown) the run stops at once and leaves the rest as it is.
// The selection is closed on every way out. Returns 0, the passes' answer to
// the completed selection.
template <class Convert>
int32_t ConvertSelection(intptr_t data, intptr_t arg3, intptr_t arg4, Convert convert) {
    DeleteListedCopies();
    int32_t figures = 0;
    bool stopped = false;
    const int32_t selection = VekIddOpenSelIdData(1, data, arg3, arg4);
    SelEntry entry{};
    if (VekIddGetHeadSelIdData(selection, &entry) != -1) {
        do {
            ++figures;
            stopped = !convert(entry);
        } while (!stopped && VekIddGetNextSelIdData(selection, &entry) != -1);
    }
    VekIddCloseSelIdData(selection);
    if (stopped) {
        return 0;
    }
    // A copy the host would not delete is tried once more; one that still
    // stands is reported rather than left behind a count of success (it stays
    // listed for the command's end).
    if (!DeleteListedCopies() && !DeleteListedCopies()) {
        VekMsgPutErrorMessage(msg::CopyNotDeleted);
        return 0;
    }
    msg::ShowCountBox(msg::FiguresModified, figures);
    return 0;
}
