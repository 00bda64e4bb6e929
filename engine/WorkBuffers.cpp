#include "engine/WorkBuffers.h"

#include "engine/Messages.h"

CopyListRecord CopyList = {};
FigureBuffer WorkFigure = {};

void DeleteListedCopies() {
    for (int32_t i = 0; i < CopyList.count && i < CopyListCapacity; ++i) {
        VekSgmDeleteSegment(CopyList.ids[i]);
    }
    CopyList.count = 0;
}

WalkResult ReadFigure(FigureKey key, FigureBuffer& buffer) {
    buffer.key = key;
    buffer.count = 0;
    VekId element = VekSgmGetHeadElementId(VekId(key.id));
    while (element != VEK_NONE) {
        ElementSlot& slot = buffer.slots[buffer.count];
        const FigureKey elementKey{key.context, uint32_t(element)};
        if (VekFigGetFigure(&elementKey, &slot.figure) == -1) {
            VekMsgPutErrorMessage(msg::ElementUnreadable);
            return WalkResult::Unreadable;
        }
        slot.elementId = uint32_t(element);
        slot.elementType = uint32_t(VekElmGetType(element));
        VekFigGetLineType(element, &slot.lineType);
        slot.newElementId = VEK_NONE;
        element = VekElmGetNextElementId(element);
        if (++buffer.count == FigureSlotCount) {
            return WalkResult::TooLarge;
        }
    }
    return WalkResult::Done;
}

bool ReadWholeFigure(FigureKey key, FigureBuffer& buffer, const VekChar* tooLargeBox) {
    switch (ReadFigure(key, buffer)) {
        case WalkResult::Done:
            return true;
        case WalkResult::Unreadable:
            return false;
        case WalkResult::TooLarge:
            msg::ShowCountBox(tooLargeBox, FigureSlotCount);
            return false;
    }
    return false;
}
