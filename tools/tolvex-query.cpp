// tolvex-query: prints every instance of management classes as the
// provider answers them, with each instance's object path and all its
// properties.
//
//   tolvex-query [--root DIR] [--json] CLASS...
//
// --root reads a captured machine tree instead of this machine. An unknown
// class prints the service's failure description and ends with status 2;
// any other failure ends with status 1.

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "tools/QuerySource.h"
#include "wmi/Management.h"

namespace {

using tolvex::ManagementValue;

constexpr int kUsageStatus = 64;
constexpr int kUnknownClassStatus = 2;
constexpr int kFailureStatus = 1;

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (const unsigned char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                    out += buffer;
                } else {
                    out.push_back(static_cast<char>(c));
                }
        }
    }
    return out + "\"";
}

std::string jsonValue(const ManagementValue& value) {
    switch (value.kind()) {
        case ManagementValue::Kind::Null:
            return "null";
        case ManagementValue::Kind::Boolean:
            return value.asBoolean() ? "true" : "false";
        case ManagementValue::Kind::Text:
            return jsonString(value.asText());
        default:
            return tolvex::debugText(value);
    }
}

void usage() {
    std::cerr << "usage: tolvex-query [--root DIR] [--json] CLASS...\n"
                 "classes:";
    for (const auto& name : tolvex::queryClassNames()) {
        std::cerr << ' ' << name;
    }
    std::cerr << '\n';
}

}  // namespace

int main(int argc, char** argv) {
    std::string root = "/";
    bool json = false;
    std::vector<std::string> classes;
    for (int k = 1; k < argc; ++k) {
        const std::string arg = argv[k];
        if (arg == "--root" && k + 1 < argc) {
            root = argv[++k];
        } else if (arg.rfind("--root=", 0) == 0) {
            root = arg.substr(7);
        } else if (arg == "--json") {
            json = true;
        } else if (arg == "--help" || arg == "-h") {
            usage();
            return 0;
        } else if (!arg.empty() && arg[0] == '-') {
            usage();
            return kUsageStatus;
        } else {
            classes.push_back(arg);
        }
    }
    if (classes.empty()) {
        usage();
        return kUsageStatus;
    }

    tolvex::ServicePtr service;
    try {
        service = tolvex::queryService(root);
    } catch (const tolvex::Failure& failure) {
        std::cerr << failure.description() << '\n';
        return kFailureStatus;
    }
    std::string out = json ? "{" : "";
    for (std::size_t c = 0; c < classes.size(); ++c) {
        const std::string& className = classes[c];
        tolvex::ObjectSetPtr set;
        try {
            set = service->instancesOf(className, tolvex::kReturnImmediately);
        } catch (const tolvex::Failure& failure) {
            std::cout << out << std::flush;
            std::cerr << failure.description() << '\n';
            return kUnknownClassStatus;
        }
        try {
            if (json) {
                out += (c ? "," : "") + std::string("\n  ") + jsonString(className) + ": [";
            }
            auto walk = set->enumerate();
            bool firstInstance = true;
            while (const auto object = walk->next()) {
                if (json) {
                    out += std::string(firstInstance ? "" : ",") +
                           "\n    {\"path\": " + jsonString(object->path()) + ", \"properties\": {";
                    bool firstProperty = true;
                    for (const auto& name : object->propertyNames()) {
                        out += std::string(firstProperty ? "" : ", ") + jsonString(name) + ": " +
                               jsonValue(object->property(name));
                        firstProperty = false;
                    }
                    out += "}}";
                } else {
                    out += object->path() + "\n";
                    for (const auto& name : object->propertyNames()) {
                        out +=
                            "  " + name + " = " + tolvex::debugText(object->property(name)) + "\n";
                    }
                    out += "\n";
                }
                firstInstance = false;
            }
            if (json) {
                out += firstInstance ? "]" : "\n  ]";
            }
        } catch (const tolvex::Failure& failure) {
            std::cout << out << std::flush;
            std::cerr << failure.description() << '\n';
            return kFailureStatus;
        }
    }
    if (json) {
        out += "\n}\n";
    }
    std::cout << out;
    return 0;
}
