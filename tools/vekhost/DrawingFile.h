// A drawing file in a run, whatever its format: read and loaded into the
// host, its figures picked, named in the report, and written back with what
// the command made of them.
#pragma once

#include "tools/vekhost/RunOptions.h"
#include "tools/vekhost/RunReport.h"
#include "tools/vekhost/RunSteps.h"

#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace vekhost_tool {

// A file that is not a drawing vekhost reads; the message names the file and,
// where there is one, the line.
class DrawingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class DrawingFile {
public:
    virtual ~DrawingFile() = default;

    // Empties the host's drawing and loads this one's figures: all of them
    // when `whole`, else each run of the command loads its own (Staging).
    virtual void LoadIntoHost(bool whole) = 0;
    // How runs of the command load and unload their figures; empty for a
    // drawing always loaded whole.
    virtual RunStaging Staging() { return {}; }
    // The figures the run's selection picks; empty, with the reason, for one
    // the drawing does not have.
    virtual std::optional<std::vector<VekId>> Pick(std::string& error) const = 0;
    virtual FigureNaming Naming() const = 0;

    // Lines said before the summary ("Drawing: ...") and after it ("Left as
    // it was: ...").
    virtual std::vector<std::string> Overview() const { return {}; }
    virtual std::vector<std::string> LeftAlone(const std::vector<VekId>& picked) const {
        (void)picked;
        return {};
    }

    // Told each of the `picked` figures as its run of the command ends (a
    // DXF drawing writes it back then); empty when the drawing takes the
    // result whole.
    virtual FigureSink WriteBackSink(const std::vector<VekId>& picked) {
        (void)picked;
        return {};
    }
    // Takes what the run made of the picked figures; false, with the reason,
    // when the drawing cannot hold it (nothing is to be written then).
    virtual bool TakeResult(const RecordedRun& run, std::string& error) = 0;
    virtual void WriteTo(std::ostream& out) const = 0;
    // Notes for the user from TakeResult.
    virtual std::vector<std::string> Notes() const { return {}; }
};

// Reads the run's drawing; throws DrawingError for a file that cannot be read
// or is not a drawing.
std::unique_ptr<DrawingFile> ReadDrawingFile(const RunOptions& options);

}  // namespace vekhost_tool
