#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "wmi/Management.h"
#include "wmi/linux/LinuxService.h"
#include "wmi/linux/SystemSource.h"

namespace tolvex::testing {

// A machine tree in a fresh temporary folder, removed at the end of the test.
class TreeBuilder {
  public:
    TreeBuilder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tolvex-tree-XXXXXX").string();
        m_root = ::mkdtemp(pattern.data());
    }
    ~TreeBuilder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }
    TreeBuilder(const TreeBuilder&) = delete;
    TreeBuilder& operator=(const TreeBuilder&) = delete;

    TreeBuilder& file(const std::string& path, const std::string& content) {
        const auto full = std::filesystem::path(m_root) / path.substr(1);
        std::filesystem::create_directories(full.parent_path());
        std::ofstream(full, std::ios::binary) << content;
        return *this;
    }
    TreeBuilder& link(const std::string& path, const std::string& target) {
        const auto full = std::filesystem::path(m_root) / path.substr(1);
        std::filesystem::create_directories(full.parent_path());
        std::filesystem::create_symlink(target, full);
        return *this;
    }
    TreeBuilder& dir(const std::string& path) {
        std::filesystem::create_directories(std::filesystem::path(m_root) / path.substr(1));
        return *this;
    }
    const std::string& root() const { return m_root; }

  private:
    std::string m_root;
};

// A captured machine from ../shared/fixtures/sysroots, unpacked once per test
// program; empty when the fixtures are missing.
inline std::string capturedTree(const std::string& tarball) {
    static std::map<std::string, std::string> unpacked;
    if (const auto it = unpacked.find(tarball); it != unpacked.end()) {
        return it->second;
    }
    const std::string archive = std::string(TOLVEX_FIXTURES_DIR) + "/sysroots/" + tarball;
    std::string result;
    if (std::filesystem::exists(archive)) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tolvex-capture-XXXXXX").string();
        const std::string dir = ::mkdtemp(pattern.data());
        const std::string command = "tar -xf '" + archive + "' -C '" + dir + "' 2>/dev/null";
        if (std::system(command.c_str()) == 0) {
            for (const auto& entry : std::filesystem::directory_iterator(dir)) {
                if (entry.is_directory()) {
                    result = entry.path().string();
                }
            }
        }
    }
    unpacked[tarball] = result;
    return result;
}

// The instances a class enumeration gives for a tree, read with the tree's
// sidecar system calls.
using Enumerate = std::vector<ObjectPtr> (*)(const linuxprov::ProviderContext&);
inline std::vector<ObjectPtr> enumerateTree(const std::string& root, Enumerate enumerate) {
    const linuxprov::FileTree files(root);
    const auto sys = linuxprov::sidecarSysCalls(root);
    const linuxprov::ProviderContext context{files, *sys, "TESTHOST"};
    return enumerate(context);
}

// A property as text for comparisons: Null as "<null>", Booleans as
// true/false, integers in decimal.
inline std::string shown(const ObjectPtr& object, const char* name) {
    const ManagementValue value = object->property(name);
    switch (value.kind()) {
        case ManagementValue::Kind::Null:
            return "<null>";
        case ManagementValue::Kind::Integer:
            return std::to_string(value.asInteger());
        case ManagementValue::Kind::Boolean:
            return value.asBoolean() ? "true" : "false";
        case ManagementValue::Kind::Real:
            return std::to_string(value.asReal());
        case ManagementValue::Kind::Text:
            return value.asText();
    }
    return {};
}

#define TOLVEX_REQUIRE_CAPTURE(root)                                                   \
    if ((root).empty()) {                                                              \
        GTEST_SKIP() << "captured machine trees not found under " TOLVEX_FIXTURES_DIR; \
    }

}  // namespace tolvex::testing
