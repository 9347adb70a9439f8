#include <filesystem>
#include <fstream>
#include <system_error>

#include "tools/OutputFile.h"

namespace tolvex::query {

bool guardStandardStreams() {
    return true;
}

std::string writeWholeFile(const std::string& path, const std::string& bytes) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            return path + ": cannot write " + temporary;
        }
    }
    // Replaces an existing file in one step (MoveFileEx with replacement).
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        const std::string reason = error.message();
        std::filesystem::remove(temporary, error);
        return path + ": " + reason;
    }
    return {};
}

}  // namespace tolvex::query
