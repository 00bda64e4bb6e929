#include "engine/StandardPass.h"

#include "state/CommandState.h"
#include "engine/ConvertSelection.h"
#include "engine/Messages.h"
#include "engine/Rounding.h"
#include "engine/WorkBuffers.h"

#include <cmath>

namespace {

bool Unreadable() {
    VekMsgPutErrorMessage(msg::ElementUnreadable);
    return false;
}

// Changes back a corner of `kind` at either end of an open copy. The last
// element is asked for only after the first one was handled, as the change
// may replace it. An open copy whose ends cannot be read (none, or a failed
// read) stops the run with the element-info message.
bool ReleaseEndCorners(FigureKey key, uint32_t kind) {
    const VekId segment = VekId(key.id);
    if (VekFigIsClosed(segment) != 0) {
        return true;
    }
    FigureRecord record;
    const VekId head = VekSgmGetHeadElementId(segment);
    FigureKey elementKey{key.context, uint32_t(head)};
    if (VekFigGetFigure(&elementKey, &record) == -1) {
        return Unreadable();
    }
    if (record.kind == kind) {
        VekFigChangeCorner(head);
    }
    const VekId tail = VekSgmGetTailElementId(segment);
    elementKey.id = uint32_t(tail);
    if (VekFigGetFigure(&elementKey, &record) == -1) {
        return Unreadable();
    }
    if (record.kind == kind) {
        VekFigChangeCorner(tail);
    }
    return true;
}

LineTypeRecord LineTypeFor(const ElementSlot& slot) {
    if (ActiveSettings.Color == 1) {
        return LineTypeRecord{ActiveSettings.colorIndex, ActiveSettings.lineTypeCode, {0, 0}};
    }
    return slot.lineType;
}

// Gives a new element its line type; a refused write stops the figure.
bool SetLineType(VekId element, const ElementSlot& slot) {
    const LineTypeRecord lineType = LineTypeFor(slot);
    if (VekFigSetLineType(element, &lineType) == -1) {
        VekMsgPutErrorMessage(msg::CreateRefused);
        return false;
    }
    return true;
}

// Creates the new segment's elements from the slots, last to first, each put
// before the one created just before it so that they end up in slot order.
// Returns false after the message when the host refuses an element.
bool CreateElements(FigureBuffer& buffer, VekId segment) {
    VekId previous = VEK_NONE;
    for (int32_t k = buffer.count - 1; k >= 0; --k) {
        ElementSlot& slot = buffer.slots[k];
        if (slot.elementType == VEK_ROUND_CORNER || slot.elementType == VEK_CHAMFER ||
            IsDegenerate(slot.elementType, slot.figure)) {
            continue;
        }
        VekId created;
        if (previous == VEK_NONE) {
            created = VekFigCreateFigure(segment, &slot.figure);
            if (created == VEK_NONE) {
                VekMsgPutErrorMessage(msg::CreateRefused);
                return false;
            }
        } else {
            created = VekFigInsertFigure(previous, &slot.figure);
            if (created == VEK_NONE) {
                VekMsgPutErrorMessage(msg::InsertRefused);
                return false;
            }
        }
        slot.newElementId = created;
        previous = created;
        if (!SetLineType(created, slot)) {
            return false;
        }
    }
    return true;
}

// The corner the host just added after `before`: its next element, or the
// head when it closed the figure there; it must be a corner of `type`.
bool FindAddedCorner(VekId segment, VekId before, uint32_t type, VekId& corner) {
    corner = VekElmGetNextElementId(before);
    if (corner == VEK_NONE) {
        corner = VekSgmGetHeadElementId(segment);
    }
    return corner != VEK_NONE && VekElmGetType(corner) == int32_t(type);
}

// Adds the rounded and chamfer corners between the new elements of their
// neighbouring slots (wrapping round at both ends). A refused rounded corner
// is retried at the 20 radii around the rounded one, one grid step apart.
// Each corner keeps its own line type, whatever the host copied into it.
bool AddCorners(const FigureBuffer& buffer, VekId segment, const RoundingGrid& grid) {
    const double step = grid.step;
    for (int32_t k = 0; k < buffer.count; ++k) {
        const ElementSlot& slot = buffer.slots[k];
        if (slot.elementType != VEK_ROUND_CORNER && slot.elementType != VEK_CHAMFER) {
            continue;
        }
        const int32_t prev = k == 0 ? buffer.count - 1 : k - 1;
        const int32_t next = k + 1 == buffer.count ? 0 : k + 1;
        const VekId before = buffer.slots[prev].newElementId;
        const VekId after = buffer.slots[next].newElementId;
        if (before == VEK_NONE || after == VEK_NONE) {
            // A neighbour shrank to nothing on the grid: there is nothing to
            // put the corner between.
            VekMsgPutErrorMessage(msg::CornerNeighbourGone);
            return false;
        }
        if (slot.elementType == VEK_CHAMFER) {
            if (VekFigAddCorner(before, after, 1, slot.figure.size) == -1) {
                VekMsgPutErrorMessage(msg::ChamferRefused);
                return false;
            }
        } else if (VekFigAddCorner(before, after, 0, slot.figure.size) == -1) {
            bool added = false;
            double r = slot.figure.size - 10.0 * step;
            for (int tries = 0; tries < 20 && !added; ++tries) {
                r = r + step;
                // A radius that is not a number never reaches the drawing.
                added = std::isfinite(r) && VekFigAddCorner(before, after, 0, r) != -1;
            }
            if (!added) {
                VekMsgPutErrorMessage(msg::ArcNotCorrectable);
                return false;
            }
        }
        VekId corner = VEK_NONE;
        if (!FindAddedCorner(segment, before, slot.elementType, corner)) {
            return Unreadable();
        }
        if (!SetLineType(corner, slot)) {
            return false;
        }
    }
    return true;
}

// Converts the figure of one selection entry. False when the run must end;
// the message has been shown and nothing of a new segment is left behind.
bool ConvertFigure(const SelEntry& entry, FigureBuffer& buffer, const RoundingGrid& grid) {
    if (CopyList.count >= kCopyListCapacity) {
        msg::ShowCountBox(msg::CopyListFull, kCopyListCapacity);
        return false;
    }
    const double origin[2] = {0.0, 0.0};
    const VekId copy = VekSgmEditSegment(VekId(entry.segment), origin, origin, 0.0, 1.0, 0);
    if (copy == VEK_NONE) {
        VekMsgPutErrorMessage(msg::CopyRefused);
        return false;
    }
    CopyList.ids[CopyList.count++] = copy;

    const FigureKey key{entry.context, uint32_t(copy)};
    if (!ArcsToCorners(key) || !ReleaseEndFillets(key) || !ReleaseEndChamfers(key)) {
        return false;
    }
    const bool closed = VekFigIsClosed(copy) != 0;

    if (!ReadWholeFigure(key, buffer, msg::FigureTooLarge)) {
        return false;
    }
    if (!RoundFigureBuffer(grid, buffer)) {
        return false;
    }

    const VekId segment = VekSgmCreateSegment(0, 0);
    if (segment == VEK_NONE) {
        VekMsgPutErrorMessage(msg::CreateRefused);
        return false;
    }
    // On a refusal the half-built segment goes again: the picked figure is
    // then left exactly as it was.
    auto abandon = [segment] {
        VekSgmDeleteSegment(segment);
        return false;
    };
    if (!CreateElements(buffer, segment)) {
        return abandon();
    }
    const VekId layer = VekSgmGetLayer(VekId(entry.segment));
    if (layer == VEK_NONE || VekSgmChangeLayer(segment, layer) == -1) {
        VekMsgPutErrorMessage(msg::LayerRefused);
        return abandon();
    }
    if (closed) {
        // The host says nothing of a refused change: ask it.
        VekFigSetClosed(segment, 1);
        if (VekFigIsClosed(segment) == 0) {
            VekMsgPutErrorMessage(msg::CreateRefused);
            return abandon();
        }
    }
    if (!AddCorners(buffer, segment, grid)) {
        return abandon();
    }
    // The picked figure and its converted one never stand side by side.
    if (VekSgmDeleteSegment(VekId(entry.segment)) == -1) {
        VekMsgPutErrorMessage(msg::PickedNotDeleted);
        return abandon();
    }
    return true;
}

}  // namespace

bool ArcsToCorners(FigureKey key) {
    WalkElements walk;
    if (!walk.Start(VekId(key.id))) {
        return Unreadable();
    }
    VekId element = VEK_NONE;
    while (walk.Next(element)) {
        FigureRecord record;
        const FigureKey elementKey{key.context, uint32_t(element)};
        // An arc passed over would stay an arc: a read that fails stops.
        if (VekFigGetFigure(&elementKey, &record) == -1) {
            return Unreadable();
        }
        if (record.kind == VEK_ARC) {
            const VekId corner = VekFigChangeCorner(element);
            if (corner != VEK_NONE) {
                walk.Replace(corner);
            }
        }
    }
    return walk.CutShort() ? Unreadable() : true;
}

bool ReleaseEndFillets(FigureKey key) {
    return ReleaseEndCorners(key, VEK_ROUND_CORNER);
}

bool ReleaseEndChamfers(FigureKey key) {
    return ReleaseEndCorners(key, VEK_CHAMFER);
}

int32_t VEKCALL StandardPass(int32_t event, intptr_t data, intptr_t arg3, intptr_t arg4) {
    if (event != 0) {
        return event == 7 ? 0 : 3;
    }
    // The settings and the reference point hold still for the run.
    const RoundingGrid grid = ActiveGrid();
    return ConvertSelection(data, arg3, arg4, [&grid](const SelEntry& entry) {
        return ConvertFigure(entry, WorkFigure, grid);
    });
}
