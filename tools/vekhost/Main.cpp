// vekhost: a command-line host for the plug-in. It loads the plug-in from its
// own folder as a CAD host does, calls its entry, and plays the user through
// the command on the stand-in host, printing what the host shows.
#include "tools/vekhost/CommandPlay.h"
#include "tools/vekhost/Console.h"
#include "tools/vekhost/Demo.h"
#include "tools/vekhost/DrawingText.h"
#include "tools/vekhost/PluginLoader.h"
#include "tools/vekhost/SettingsAccess.h"
#include "tools/vekhost/TextConvert.h"
#include "platform/veklib/VekHost.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include <shellapi.h>
#endif

using namespace vekhost_tool;

namespace {

constexpr int ExitOk = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;

const char* const Usage =
    "Usage:\n"
    "  vekhost demo\n"
    "      Runs the command on a built-in sample drawing and prints each figure\n"
    "      before and after. Your own settings are not touched.\n"
    "  vekhost run DRAWING.json --ref X,Y [--select all|ID[,ID...]]\n"
    "              [--set NAME=VALUE]... -o OUT.json\n"
    "      Runs the command on DRAWING.json: gives the reference point X,Y, picks\n"
    "      the listed figures (all by default), and writes the resulting drawing\n"
    "      to OUT.json. Each --set stores a setting before the command starts, as\n"
    "      the settings dialog would; the others keep their stored values.\n"
    "      NAME is one of d_point, inchmm, IsExploded, Color, mColor1, mLType1.\n"
    "  vekhost settings\n"
    "      Starts the command and presses the confirm key, which opens the\n"
    "      settings dialog (Windows build); then shows the stored settings.\n"
    "  vekhost --help\n"
    "\n"
    "The plug-in is loaded from the folder that holds vekhost.\n"
    "Exit status: 0 done; 1 the input could not be read, the plug-in could not\n"
    "be loaded or registered, or the command reported an error (OUT.json is then\n"
    "left as it was); 2 bad arguments.\n";

int UsageError(const std::string& message) {
    WriteErr("vekhost: " + message + "\nTry 'vekhost --help'.\n");
    return ExitUsage;
}

int Failure(const std::string& message) {
    WriteErr("vekhost: " + message + "\n");
    return ExitFailed;
}

// A finite decimal number, nothing before or after it.
std::optional<double> ParseNumber(const std::string& text) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text.front()))) {
        return std::nullopt;
    }
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<vekhost::Point> ParsePoint(const std::string& text) {
    const size_t comma = text.find(',');
    if (comma == std::string::npos) {
        return std::nullopt;
    }
    const auto x = ParseNumber(text.substr(0, comma));
    const auto y = ParseNumber(text.substr(comma + 1));
    if (!x || !y) {
        return std::nullopt;
    }
    return vekhost::Point{*x, *y};
}

std::optional<std::vector<VekId>> ParseIds(const std::string& text) {
    std::vector<VekId> ids;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        const std::string item =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (item.empty() || item.size() > 9 ||
            item.find_first_not_of("0123456789") != std::string::npos) {
            return std::nullopt;
        }
        ids.push_back(static_cast<VekId>(std::stol(item)));
        if (comma == std::string::npos) {
            return ids;
        }
        start = comma + 1;
    }
}

bool ReadWholeFile(const std::filesystem::path& path, std::string& text, std::string& error) {
    std::error_code failed;
    if (std::filesystem::is_directory(path, failed)) {
        error = "is a folder";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = std::filesystem::exists(path, failed) ? "cannot be opened" : "no such file";
        return false;
    }
    // Read at its size in one go: a large drawing is copied once, not grown.
    const std::uintmax_t size = std::filesystem::file_size(path, failed);
    if (!failed) {
        text.resize(static_cast<size_t>(size));
        in.read(text.data(), static_cast<std::streamsize>(size));
        text.resize(static_cast<size_t>(in.gcount()));
    }
    if (failed || in.bad()) {
        error = "read error";
        return false;
    }
    return true;
}

// The whole file or nothing: a new file beside the target, then a rename.
// `contents` writes the text to the stream it is given.
bool WriteWholeFile(const std::filesystem::path& path,
                    const std::function<void(std::ostream&)>& contents, std::string& error) {
    std::filesystem::path temporary = path;
    temporary += ".vekhost-new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) {
            error = "cannot be created";
            return false;
        }
        contents(out);
        out.flush();
        if (!out) {
            out.close();
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            error = "write error";
            return false;
        }
    }
    std::error_code failed;
    std::filesystem::rename(temporary, path, failed);
    if (failed) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        error = failed.message();
        return false;
    }
    return true;
}

// Loads the plug-in beside the program and calls its entry.
bool StartPlugin(Plugin& plugin, std::string& error) {
    if (!plugin.Load(PluginBesideExecutable(), error)) {
        return false;
    }
    const int32_t result = plugin.Startup()(0, 0, 0, 0);
    if (result != 0) {
        error = "the plug-in did not register its command (Startup returned " +
                std::to_string(result) + ")";
        return false;
    }
    return true;
}

void ShowStoredSettings(const std::string& heading) {
    WriteOut(heading + " (" + SettingsLocation() + "):\n");
    for (const std::string& name : SettingNames()) {
        const auto value = StoredSetting(name);
        WriteOut("  " + name + " = " + (value ? "\"" + *value + "\"" : "(not set)") + "\n");
    }
}

int Demo(const std::vector<std::string>& args) {
    if (!args.empty()) {
        return UsageError("demo takes no arguments");
    }
    ScratchSettings scratch;
    if (!scratch.Ok()) {
        return Failure("cannot set up a scratch settings store for the demo");
    }
    BuildDemoDrawing();
    Plugin plugin;
    std::string error;
    if (!StartPlugin(plugin, error)) {
        return Failure(error);
    }
    const int status = RunDemo();
    vekhost::Reset();
    return status;
}

struct RunOptions {
    std::string drawing;
    std::optional<vekhost::Point> reference;
    std::optional<std::vector<VekId>> selection;  // empty: every figure
    std::vector<std::pair<std::string, std::string>> settings;
    std::string output;
};

int Run(const std::vector<std::string>& args) {
    RunOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--ref" || arg == "--select" || arg == "--set" || arg == "-o" ||
            arg == "--output") {
            if (!hasValue) {
                return UsageError(arg + " needs a value");
            }
            const std::string& value = args[++i];
            if (arg == "--ref") {
                options.reference = ParsePoint(value);
                if (!options.reference) {
                    return UsageError("--ref wants two numbers X,Y, not '" + value + "'");
                }
            } else if (arg == "--select") {
                if (value == "all") {
                    options.selection.reset();
                } else {
                    options.selection = ParseIds(value);
                    if (!options.selection) {
                        return UsageError(
                            "--select wants 'all' or figure numbers such as 1,4,7, "
                            "not '" +
                            value + "'");
                    }
                }
            } else if (arg == "--set") {
                const size_t equals = value.find('=');
                const auto name = CanonicalSettingName(value.substr(0, equals));
                if (equals == std::string::npos || !name) {
                    return UsageError(
                        "--set wants NAME=VALUE with NAME one of d_point, inchmm, "
                        "IsExploded, Color, mColor1, mLType1, not '" +
                        value + "'");
                }
                const std::string text = value.substr(equals + 1);
                const auto wide = Utf8ToUtf16(text);
                // Longer texts cannot be read back by the settings store.
                if (!wide || wide->size() > 126) {
                    return UsageError("the value of " + *name +
                                      " must be UTF-8 text of at most 126 characters");
                }
                options.settings.emplace_back(*name, text);
            } else {
                options.output = value;
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError("unknown option '" + arg + "'");
        } else if (options.drawing.empty()) {
            options.drawing = arg;
        } else {
            return UsageError("more than one drawing given ('" + options.drawing + "' and '" + arg +
                              "')");
        }
    }
    if (options.drawing.empty()) {
        return UsageError("run needs a drawing file");
    }
    if (!options.reference) {
        return UsageError("run needs the reference point (--ref X,Y)");
    }
    if (options.output.empty()) {
        return UsageError("run needs an output file (-o OUT.json)");
    }

    // Everything that can refuse the input comes before anything is changed.
    std::string text;
    std::string error;
    if (!ReadWholeFile(PathFromUtf8(options.drawing), text, error)) {
        return Failure("cannot read " + options.drawing + ": " + error);
    }
    vekhost::Reset();
    try {
        vekhost::FromJson(text);
    } catch (const std::exception& e) {
        return Failure(options.drawing + " is not a drawing file: " + e.what());
    }
    std::string().swap(text);  // the drawing holds it all now
    std::vector<VekId> picked = vekhost::Segments();
    if (options.selection) {
        std::set<VekId> seen;
        for (VekId id : *options.selection) {
            if (!vekhost::GetSegment(id)) {
                return Failure(options.drawing + " has no figure " + std::to_string(id));
            }
            if (!seen.insert(id).second) {
                return Failure("figure " + std::to_string(id) + " is picked twice");
            }
        }
        picked = *options.selection;
    }
    if (!OpenPersistentSettings(error)) {
        return Failure(error);
    }
    for (const auto& [name, value] : options.settings) {
        if (!StoreSetting(name, value)) {
            return Failure("cannot store the setting " + name + " in " + SettingsLocation());
        }
    }

    Plugin plugin;
    if (!StartPlugin(plugin, error)) {
        return Failure(error);
    }
    ShowStoredSettings("Settings");
    WriteOut("Before:\n" + DescribeDrawing());
    const CommandResult result = PlayCommand(*options.reference, picked);
    WriteOut("After:\n" + DescribeDrawing());
    if (!result.pointTaken || result.reportedError) {
        return Failure("the command reported an error; " + options.output + " was not written");
    }
    const auto drawing = [](std::ostream& out) {
        vekhost::WriteJson([&](std::string_view piece) {
            out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
        });
    };
    if (!WriteWholeFile(PathFromUtf8(options.output), drawing, error)) {
        return Failure("cannot write " + options.output + ": " + error);
    }
    WriteOut("Written to " + options.output + "\n");
    return ExitOk;
}

int Settings(const std::vector<std::string>& args) {
    if (!args.empty()) {
        return UsageError("settings takes no arguments");
    }
    std::string error;
    if (!OpenPersistentSettings(error)) {
        return Failure(error);
    }
    vekhost::Reset();
    Plugin plugin;
    if (!StartPlugin(plugin, error)) {
        return Failure(error);
    }
    WriteOut("  > start the command\n");
    vekhost::StartCommand();
    PrintHostMessages();
    WriteOut("  > press the confirm key\n");
#ifndef _WIN32
    WriteOut("  (this build has no windowing platform: the settings dialog cannot open)\n");
#endif
    const int32_t answer = vekhost::PressConfirm();
    PrintHostMessages();
    WriteOut("  the command answered " + std::to_string(answer) + "\n");
    WriteOut("  > end the command\n");
    vekhost::EndCommand();
    PrintHostMessages();
    ShowStoredSettings("Stored settings");
    return answer == 0 ? ExitOk : ExitFailed;
}

std::vector<std::string> Arguments(int argc, char** argv) {
    std::vector<std::string> args;
#ifdef _WIN32
    // The wide command line: arguments outside the ANSI code page survive.
    (void)argc;
    (void)argv;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; wide != nullptr && i < count; ++i) {
        args.push_back(Utf16ToUtf8(FromWideText(std::wstring(wide[i]))));
    }
    if (wide != nullptr) {
        LocalFree(wide);
    }
#else
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(argv[i]);
    }
#endif
    return args;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args = Arguments(argc, argv);
    if (args.empty()) {
        return UsageError("no command given");
    }
    const std::string& command = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    try {
        if (command == "--help" || command == "-h" || command == "help") {
            WriteOut(Usage);
            return ExitOk;
        }
        if (command == "demo") {
            return Demo(rest);
        }
        if (command == "run") {
            return Run(rest);
        }
        if (command == "settings") {
            return Settings(rest);
        }
    } catch (const std::exception& e) {
        return Failure(std::string("unexpected failure: ") + e.what());
    }
    return UsageError("unknown command '" + command + "'");
}
