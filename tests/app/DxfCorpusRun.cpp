// Real drawings written by another program (Debian's librecad-data parts
// library) converted as `vekhost run DRAWING.dxf --select all` converts
// them, in this process for speed, at a few settings. Each converts or is
// refused with the line of its fault or the host's message; in each output
// every entity that was not converted is byte for byte as it was, in its
// order, and so is everything outside the ENTITIES section but $HANDSEED
// and an added line type. The outputs and a list of them are left for
// dxf_corpus_check.py, which reads them with ezdxf.
//
//   dxf_corpus_run CORPUS_FOLDER OUT_FOLDER [EVERY_NTH]
#include "tools/dxf/DxfTags.h"
#include "tools/vekhost/DxfDrawing.h"
#include "tools/vekhost/Files.h"
#include "tools/vekhost/RunSteps.h"
#include "platform/veklib/VekHost.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace vekhost_tool;

namespace {

struct Setting {
    const char* name;
    std::vector<std::pair<std::string, std::string>> values;
};

const Setting kSettings[] = {
    {"d2-standard", {{"d_point", "2"}, {"inchmm", "0"}, {"IsExploded", "0"}, {"Color", "0"}}},
    {"d3-inch-mm-exploded-colour",
     {{"d_point", "3"},
      {"inchmm", "1"},
      {"IsExploded", "1"},
      {"Color", "1"},
      {"mColor1", "MAINCOLOR08"},
      {"mLType1", "LINETYPE09"}}},
    {"d1-mm-inch-colour",
     {{"d_point", "1"},
      {"inchmm", "2"},
      {"IsExploded", "0"},
      {"Color", "1"},
      {"mColor1", "MAINCOLOR03"},
      {"mLType1", "LINETYPE01"}}},
};

// A section's text with the value of the header variable `name` and the
// table `table` left out: what a run may change there.
std::string Without(std::string_view text, std::string_view variable, std::string_view table) {
    std::string out;
    dxf::TagReader reader(text);
    dxf::Tag tag;
    bool skipValue = false, skipTable = false, tableStart = false;
    while (reader.Next(tag)) {
        const std::string_view value = tag.Trimmed();
        if (tag.code == 9 && value == variable) {
            skipValue = true;  // and its name, which a run may have added
            continue;
        }
        if (skipValue) {
            skipValue = false;
            continue;
        }
        if (tag.code == 0) {
            if (skipTable && value == "ENDTAB") {
                skipTable = false;
                continue;
            }
            tableStart = value == "TABLE";
        } else if (tableStart && tag.code == 2) {
            skipTable = skipTable || value == table;
            tableStart = false;
        }
        if (!skipTable) {
            out.append(text.substr(tag.begin, tag.end - tag.begin));
        }
    }
    return out;
}

// What must be as it was; empty when it is.
std::string Unchanged(const dxf::Document& in, const dxf::Document& out) {
    std::vector<std::string_view> kept;
    for (std::size_t i = 0; i < in.EntityCount(); ++i) {
        if (!dxf::ShapeOf(in, i).Convertible()) {
            kept.push_back(in.EntityText(i));
        }
    }
    std::size_t next = 0;
    for (std::size_t i = 0; i < out.EntityCount() && next < kept.size(); ++i) {
        next += out.EntityText(i) == kept[next] ? 1 : 0;
    }
    if (next < kept.size()) {
        return "an entity left alone changed: " + std::string(kept[next].substr(0, 200));
    }
    if (in.Sections().size() != out.Sections().size()) {
        return "sections added or lost";
    }
    for (std::size_t s = 0; s < in.Sections().size(); ++s) {
        const dxf::Section& a = in.Sections()[s];
        const dxf::Section& b = out.Sections()[s];
        if (a.name == "ENTITIES") {
            continue;
        }
        const std::string_view was = std::string_view(in.Bytes()).substr(a.begin, a.end - a.begin);
        const std::string_view now = std::string_view(out.Bytes()).substr(b.begin, b.end - b.begin);
        if (Without(was, "$HANDSEED", "LTYPE") != Without(now, "$HANDSEED", "LTYPE") ||
            (a.name != "HEADER" && a.name != "TABLES" && was != now)) {
            return "section " + a.name + " changed";
        }
    }
    const std::size_t tail = in.Sections().back().end;
    if (in.Bytes().substr(tail) != out.Bytes().substr(out.Sections().back().end)) {
        return "the end of the file changed";
    }
    return "";
}

enum class Outcome { Converted, Unreadable, CommandError, Failed };

Outcome Convert(Plugin& plugin, const std::string& bytes, std::string& output,
                std::string& message) {
    vekhost::Reset();
    std::optional<DxfDrawing> drawing;
    try {
        drawing.emplace(bytes, JoinOptions{});
    } catch (const dxf::ParseError& e) {
        message = e.what();
        return Outcome::Unreadable;
    }
    drawing->LoadIntoHost(true);
    std::string error;
    const auto picked = drawing->Pick(DxfSelection{}, "drawing", error);
    if (!picked || plugin.Startup()(0, 0, 0, 0) != 0) {
        message = picked ? "the plug-in did not register" : error;
        return Outcome::Failed;
    }
    const RecordedRun run =
        PlayAndReport({0, 0}, *picked, drawing->Naming(), RunNeeds{.picture = false});
    if (!run.command.pointTaken || run.command.reportedError) {
        message = run.report.figures.empty() || run.report.stopMessage.empty()
                      ? "the command reported an error"
                      : run.report.stopMessage;
        for (const FigureReport& figure : run.report.figures) {
            if (!figure.messages.empty()) {
                message = figure.messages.front() + " (" + figure.source.Text() + ")";
                break;
            }
        }
        return Outcome::CommandError;
    }
    if (!drawing->WriteBack(run.report, message)) {
        return Outcome::Failed;
    }
    std::ostringstream text;
    drawing->WriteTo(text);
    output = std::move(text).str();
    const dxf::Document out = dxf::Document::Parse(output);
    message = Unchanged(drawing->Document(), out);
    return message.empty() ? Outcome::Converted : Outcome::Failed;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: dxf_corpus_run CORPUS_FOLDER OUT_FOLDER [EVERY_NTH]\n";
        return 2;
    }
    const fs::path corpus = argv[1];
    const fs::path outFolder = argv[2];
    const std::size_t every = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 1;
    fs::remove_all(outFolder);
    fs::create_directories(outFolder);
    const std::string registry = (outFolder / "registry.txt").string();
    setenv("TARNEX_REGISTRY_FILE", registry.c_str(), 1);

    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(corpus)) {
        std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && IsDxfName(name)) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    if (files.size() < 1000) {
        std::cerr << corpus << " holds " << files.size()
                  << " drawings; install librecad-data (scripts/install-deps.sh)\n";
        return 1;
    }
    std::vector<fs::path> chosen;
    for (std::size_t k = 0; k < files.size(); k += std::max<std::size_t>(every, 1)) {
        chosen.push_back(files[k]);
    }

    Plugin plugin;
    std::string error;
    if (!plugin.Load(PluginBesideExecutable(), error)) {
        std::cerr << error << "\n";
        return 1;
    }
    std::ofstream manifest(outFolder / "manifest.txt");
    int failures = 0;
    for (const Setting& setting : kSettings) {
        // The setting's own copy of the settings, for its whole loop.
        const auto runSettings = StoreRunSettings(setting.values, error);
        if (!runSettings) {
            std::cerr << error << "\n";
            return 1;
        }
        fs::create_directories(outFolder / setting.name);
        std::map<Outcome, std::size_t> counts;
        for (std::size_t k = 0; k < chosen.size(); ++k) {
            std::string bytes;
            if (!ReadWholeFile(chosen[k], bytes, error)) {
                std::cerr << chosen[k] << ": " << error << "\n";
                return 1;
            }
            std::string output;
            std::string message;
            const Outcome outcome = Convert(plugin, bytes, output, message);
            ++counts[outcome];
            if (outcome == Outcome::Converted) {
                const fs::path written = outFolder / setting.name / (std::to_string(k) + ".dxf");
                std::ofstream(written, std::ios::binary) << output;
                manifest << setting.name << '\t' << chosen[k].string() << '\t' << written.string()
                         << '\n';
            } else {
                std::cout << setting.name << ": " << chosen[k].string() << ": " << message << "\n";
            }
            if (outcome == Outcome::Failed) {
                ++failures;
            }
        }
        std::cout << setting.name << ": " << chosen.size() << " drawings, "
                  << counts[Outcome::Converted] << " converted, " << counts[Outcome::Unreadable]
                  << " refused as unreadable, " << counts[Outcome::CommandError]
                  << " refused by the command, " << counts[Outcome::Failed] << " failed\n";
    }
    vekhost::Reset();
    return failures == 0 ? 0 : 1;
}
