// Watches one run of the command on the host stand-in: the drawing as it was
// before, and what the host was asked while each picked figure was in work
// (the selection entry the host had handed out last).
#pragma once

#include "platform/veklib/VekHost.h"

#include <cstddef>
#include <functional>
#include <unordered_map>
#include <string>
#include <vector>

namespace vekhost_tool {

// One VekFigAddCorner: the two elements, rounded (0) or chamfer (1), the size
// asked for and the corner made (VEK_NONE when refused).
struct CornerCall {
    VekId previous = VEK_NONE;
    VekId next = VEK_NONE;
    int mode = 0;
    double size = 0;
    VekId corner = VEK_NONE;
};

// One VekAriTanCir2Pnts: the radius tried, the two points and the number of
// centres found.
struct TangentCall {
    double radius = 0;
    vekhost::Point a;
    vekhost::Point b;
    int found = 0;
};

struct FigureCalls {
    bool handedOut = false;   // the host handed this figure to the plug-in
    std::vector<VekId> made;  // segments made while it was in work, in creation order
    std::vector<CornerCall> corners;
    std::vector<TangentCall> tangents;
    std::vector<std::string> messages;  // error lines and message boxes, UTF-8
};

struct RunRecording {
    // Every figure, in creation order, when asked for (the picture draws it).
    std::vector<vekhost::Segment> drawingBefore;
    std::vector<VekId> picked;
    // By picked segment, for those the host handed out or made calls for
    // (none: no calls); Take hands them over.
    std::unordered_map<VekId, FigureCalls> figures;
    bool selectionOpened = false;
    bool countShown = false;  // the last run of the command went through its selection and said so
    // Error lines and message boxes while no figure was in work, such as
    // the final count.
    std::vector<std::string> messages;
};

class RunRecorder {
public:
    // Observes the host's calls until Finish (or the end of the recorder);
    // with `keepDrawing`, takes the drawing as it is now first.
    explicit RunRecorder(std::vector<VekId> picked, bool keepDrawing = true);
    ~RunRecorder();
    RunRecorder(const RunRecorder&) = delete;
    RunRecorder& operator=(const RunRecorder&) = delete;

    // Told, as each picked figure is reached, how many have been reached
    // and how many were picked.
    void OnFigure(std::function<void(size_t reached, size_t picked)> progress);
    // What was seen for a picked figure so far, handed over (the recorder
    // keeps nothing of it): its run of the command is over.
    FigureCalls Take(VekId figure);
    // Stops observing and gives what was seen.
    RunRecording Finish();

private:
    void See(const vekhost::ObservedCall& call);

    RunRecording recording_;
    std::function<void(size_t, size_t)> progress_;
    size_t reached_ = 0;
    bool observing_ = false;
};

}  // namespace vekhost_tool
