#include "engine/ExplodedPass.h"

#include "state/CommandState.h"
#include "engine/ConvertSelection.h"
#include "engine/Messages.h"
#include "engine/Rounding.h"
#include "engine/WorkBuffers.h"

namespace {

constexpr int32_t kRecordCapacity = 3000;

// The exploded form of the figure in work, the record being converted, and
// the segments made from it so far.
FigureRecord ExplodedRecords[kRecordCapacity];
VekId CreatedSegments[kRecordCapacity];
int32_t CreatedCount = 0;

// Record j is taken to come from element j; a record beyond the walk takes
// the line type of the figure's last element, never a stale slot.
LineTypeRecord LineTypeFor(const FigureBuffer& walk, int32_t j) {
    if (ActiveSettings.Color == 1) {
        return LineTypeRecord{ActiveSettings.colorIndex, ActiveSettings.lineTypeCode, {0, 0}};
    }
    if (j < walk.count) {
        return walk.slots[j].lineType;
    }
    if (walk.count > 0) {
        return walk.slots[walk.count - 1].lineType;
    }
    return LineTypeRecord{};
}

// Deletes what was made of the figure in work, so that a stopped run leaves
// the picked figure exactly as it was.
bool Abandon() {
    for (int32_t i = 0; i < CreatedCount; ++i) {
        VekSgmDeleteSegment(CreatedSegments[i]);
    }
    CreatedCount = 0;
    return false;
}

bool ExplodeFigure(const SelEntry& entry, FigureBuffer& walk, const RoundingGrid& grid) {
    const FigureKey key{entry.context, entry.segment};
    if (!ReadWholeFigure(key, walk, msg::ExplodedFigureTooLarge)) {
        return false;
    }

    int32_t n = VekFigGetFigure2(&key, ExplodedRecords, kRecordCapacity);
    if (n < 0 || (n == 0 && walk.count > 0)) {
        // Without its exploded form the figure would be deleted and nothing
        // put in its place: stop as for any unreadable figure.
        VekMsgPutErrorMessage(msg::ElementUnreadable);
        return false;
    }
    if (n > kRecordCapacity) {
        n = kRecordCapacity;
    }
    CreatedCount = 0;
    for (int32_t j = 0; j < n; ++j) {
        FigureRecord record = ExplodedRecords[j];
        if (!RoundFigureRecord(grid, record)) {
            return Abandon();
        }
        if (record.kind == VEK_ROUND_CORNER) {
            record.kind = VEK_ARC;
        } else if (record.kind == VEK_CHAMFER) {
            // A chamfer's exploded form is the line across the corner.
            record.kind = VEK_LINE;
        }
        // Tested as it will be made: a corner that shrank to nothing goes
        // like the line or arc it becomes.
        if (IsDegenerate(record.kind, record)) {
            continue;
        }
        const VekId segment = VekSgmCreateSegment(0, 0);
        if (segment != VEK_NONE) {
            CreatedSegments[CreatedCount++] = segment;
        }
        const VekId element = VekFigCreateFigure(segment, &record);
        if (element == VEK_NONE) {
            VekMsgPutErrorMessage(msg::ExplodedCreateRefused);
            return Abandon();
        }
        const VekId layer = VekSgmGetLayer(VekId(entry.segment));
        if (layer == VEK_NONE || VekSgmChangeLayer(segment, layer) == -1) {
            VekMsgPutErrorMessage(msg::LayerRefused);
            return Abandon();
        }
        const LineTypeRecord lineType = LineTypeFor(walk, j);
        if (VekFigSetLineType(element, &lineType) == -1) {
            VekMsgPutErrorMessage(msg::ExplodedCreateRefused);
            return Abandon();
        }
    }
    // The picked figure and its pieces never stand side by side.
    if (VekSgmDeleteSegment(VekId(entry.segment)) == -1) {
        VekMsgPutErrorMessage(msg::PickedNotDeleted);
        return Abandon();
    }
    CreatedCount = 0;
    return true;
}

}  // namespace

int32_t VEKCALL ExplodedPass(int32_t event, intptr_t data, intptr_t arg3, intptr_t arg4) {
    if (event != 0) {
        return event == 7 ? 0 : 2;
    }
    // The settings and the reference point hold still for the run.
    const RoundingGrid grid = ActiveGrid();
    return ConvertSelection(data, arg3, arg4, [&grid](const SelEntry& entry) {
        return ExplodeFigure(entry, WorkFigure, grid);
    });
}
