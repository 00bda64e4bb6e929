// Work buffers of the conversion passes: one figure under conversion, and the
// process-wide list of temporary segment copies.
#pragma once

#include "veksdk/VekLib.h"

#include <cstdint>

// One element of the figure under conversion.
struct ElementSlot {
    uint32_t elementId;       // the element in the segment that was read
    uint32_t elementType;     // as VekElmGetType returned it
    LineTypeRecord lineType;  // as VekFigGetLineType filled it
    FigureRecord figure;      // as VekFigGetFigure filled it; rounded in place
    int32_t newElementId;     // element created from this slot, or -1
};

constexpr int32_t FigureSlotCount = 3000;

// One figure: the key it was read with, then its elements from the first.
struct FigureBuffer {
    FigureKey key;
    int32_t count;
    ElementSlot slots[FigureSlotCount];
};

constexpr int32_t CopyListCapacity = 3000;

// Temporary copies made by the standard pass, in the order they were made.
struct CopyListRecord {
    int32_t count;
    VekId ids[CopyListCapacity];
};

// Listed copies are deleted at the end of a run, at the start of the next
// run, or by the command's end callback when a run stopped early.
extern CopyListRecord CopyList;

// Deletes every listed copy, in list order, and empties the list.
void DeleteListedCopies();

// The one figure buffer that both passes use, a run at a time.
extern FigureBuffer WorkFigure;

// How a walk over a figure's elements ended.
enum class WalkResult { Done, Unreadable, TooLarge };

// Reads every element of key.id into `buffer` (key kept in the buffer).
// Stops as soon as the last slot is filled, even when no element follows:
// at most FigureSlotCount - 1 elements are ever converted. On Unreadable the
// element-info message has been shown; on TooLarge the caller shows its box.
WalkResult ReadFigure(FigureKey key, FigureBuffer& buffer);

// ReadFigure as the passes use it: on TooLarge shows `tooLargeBox` with the
// slot count. True when the whole figure was read; otherwise the pass stops.
bool ReadWholeFigure(FigureKey key, FigureBuffer& buffer, const VekChar* tooLargeBox);
