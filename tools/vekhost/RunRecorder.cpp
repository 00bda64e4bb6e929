#include "tools/vekhost/RunRecorder.h"

#include "tools/vekhost/CommandPlay.h"

#include <cstring>
#include <utility>

namespace vekhost_tool {

namespace {

bool Is(const vekhost::ObservedCall& call, const char* name) {
    return std::strcmp(call.name, name) == 0;
}

VekId IdOf(double value) {
    return value >= 0 ? static_cast<VekId>(value) : VEK_NONE;
}

}  // namespace

RunRecorder::RunRecorder(std::vector<VekId> picked, bool keepDrawing) {
    if (keepDrawing) {
        for (VekId id : vekhost::Segments()) {
            if (auto segment = vekhost::GetSegment(id)) {
                recording_.drawingBefore.push_back(std::move(*segment));
            }
        }
    }
    recording_.picked = std::move(picked);
    // Only the calls looked at below: a run makes millions of others.
    vekhost::SetCallObserver(
        [this](const vekhost::ObservedCall& call) { See(call); },
        {"VekIddOpenSelIdData", "VekIddGetHeadSelIdData", "VekIddGetNextSelIdData",
         "VekSgmCreateSegment", "VekSgmEditSegment", "VekFigAddCorner", "VekAriTanCir2Pnts",
         "VekMsgPutErrorMessage", "VekDlgMessageBox"});
    observing_ = true;
}

RunRecorder::~RunRecorder() {
    if (observing_) {
        vekhost::SetCallObserver({});
    }
}

void RunRecorder::OnFigure(std::function<void(size_t, size_t)> progress) {
    progress_ = std::move(progress);
}

FigureCalls RunRecorder::Take(VekId figure) {
    const auto it = recording_.figures.find(figure);
    if (it == recording_.figures.end()) {
        return {};
    }
    FigureCalls calls = std::move(it->second);
    recording_.figures.erase(it);
    return calls;
}

RunRecording RunRecorder::Finish() {
    if (observing_) {
        vekhost::SetCallObserver({});
        observing_ = false;
    }
    return std::move(recording_);
}

void RunRecorder::See(const vekhost::ObservedCall& call) {
    // Only a figure that was picked has calls of its own: the selection
    // holds nothing else.
    FigureCalls* figure = call.entry != VEK_NONE ? &recording_.figures[call.entry] : nullptr;
    if (Is(call, "VekIddOpenSelIdData")) {
        recording_.selectionOpened = true;
        recording_.countShown = false;  // a further run of the command has yet to say it
    } else if (Is(call, "VekIddGetHeadSelIdData") || Is(call, "VekIddGetNextSelIdData")) {
        if (call.result == 0 && figure != nullptr) {
            figure->handedOut = true;
            ++reached_;
            if (progress_) {
                progress_(reached_, recording_.picked.size());
            }
        }
    } else if (Is(call, "VekSgmCreateSegment") || Is(call, "VekSgmEditSegment")) {
        if (figure != nullptr && call.result > 0) {
            figure->made.push_back(static_cast<VekId>(call.result));
        }
    } else if (Is(call, "VekFigAddCorner") && figure != nullptr && call.argCount >= 4) {
        figure->corners.push_back({IdOf(call.args[0]), IdOf(call.args[1]),
                                   static_cast<int>(call.args[2]), call.args[3],
                                   IdOf(call.result)});
    } else if (Is(call, "VekAriTanCir2Pnts") && figure != nullptr && call.argCount >= 5) {
        figure->tangents.push_back({call.args[0],
                                    {call.args[1], call.args[2]},
                                    {call.args[3], call.args[4]},
                                    call.result > 0 ? static_cast<int>(call.result) : 0});
    } else if (Is(call, "VekMsgPutErrorMessage") || Is(call, "VekDlgMessageBox")) {
        // The selection is closed on every way out; only the count at the
        // end tells a run that went through the whole selection.
        if (Is(call, "VekDlgMessageBox") && IsFinalCount(call.text)) {
            recording_.countShown = true;
        }
        (figure != nullptr ? figure->messages : recording_.messages)
            .push_back(vekhost::ToUtf8(call.text));
    }
}

}  // namespace vekhost_tool
