#include "tools/vekhost/Files.h"

#include "tools/vekhost/TextConvert.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <system_error>

namespace vekhost_tool {

namespace {

std::filesystem::path Beside(const std::filesystem::path& path) {
    std::filesystem::path temporary = path;
    temporary += ".vekhost-new";
    return temporary;
}

bool WriteTemporary(const std::filesystem::path& path, const OutputFile& file, std::string& error) {
    std::ofstream out(Beside(path), std::ios::binary | std::ios::trunc);
    if (!out) {
        error = "cannot be created";
        return false;
    }
    if (file.write) {
        file.write(out);
    } else {
        out.write(file.text.data(), static_cast<std::streamsize>(file.text.size()));
    }
    out.flush();
    if (!out) {
        error = "write error";
        return false;
    }
    return true;
}

}  // namespace

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
    // In one read when the size is known (a regular file), else piece by piece.
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    if (size > 0 && in) {
        text.resize(static_cast<size_t>(size));
        in.read(text.data(), size);
        text.resize(static_cast<size_t>(in.gcount()));
    } else {
        in.clear();
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (in.bad()) {
        error = "read error";
        return false;
    }
    return true;
}

bool WriteAllOrNothing(const std::vector<OutputFile>& files, std::string& error) {
    auto removeTemporaries = [&files](size_t count) {
        for (size_t i = 0; i < count; ++i) {
            std::error_code ignored;
            std::filesystem::remove(Beside(PathFromUtf8(files[i].name)), ignored);
        }
    };
    for (size_t i = 0; i < files.size(); ++i) {
        std::string reason;
        if (!WriteTemporary(PathFromUtf8(files[i].name), files[i], reason)) {
            removeTemporaries(i + 1);
            error = "cannot write " + files[i].name + ": " + reason;
            return false;
        }
    }
    for (size_t i = 0; i < files.size(); ++i) {
        const std::filesystem::path path = PathFromUtf8(files[i].name);
        std::error_code failed;
        std::filesystem::rename(Beside(path), path, failed);
        if (failed) {
            // The files renamed before stay written: a rename fails only when
            // the folder changed under the run.
            for (size_t j = i; j < files.size(); ++j) {
                std::error_code ignored;
                std::filesystem::remove(Beside(PathFromUtf8(files[j].name)), ignored);
            }
            error = "cannot write " + files[i].name + ": " + failed.message();
            return false;
        }
    }
    return true;
}

}  // namespace vekhost_tool
