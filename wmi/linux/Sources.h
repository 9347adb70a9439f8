#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "wmi/Management.h"
#include "wmi/NullReason.h"
#include "wmi/linux/SystemSource.h"

namespace tolvex::linuxprov {

// A place a property's value is looked for (a file, a table, a system call)
// and what reading it came to. It is made once, from the read itself, and
// shared by every property taken from it, so that a Null property can say
// why it is Null. A default Source stands for what the platform does not
// have at all.
struct Source {
    // Kind::None: the source was read (a value may still be missing from
    // it); otherwise why it could not be.
    NullReason::Kind failure = NullReason::Kind::NotOnPlatform;
    std::string name;    // the path or call, for the reason
    std::string remedy;  // what would let it be read, where anything would

    // Why a property taken from here is Null: the failure, or, when the
    // source was read, that this machine does not provide the value.
    NullReason whyNull() const;
};

// What the last read of a file (or listing of a folder) through the tree
// came to, from its error number: permission denied, not there,
// unreadable (an I/O error, a time-out, a folder in place of a file).
// `what` names the file for the remedy when only root may read it ("the
// firmware tables"); `whenAbsent` is the remedy when it is not there.
Source fileSource(const FileTree& files, std::string_view path, std::string_view what,
                  std::string_view whenAbsent = {});
// A source that was read and whose content cannot be used.
Source damagedSource(std::string name);
// A system call that did not answer in time.
Source timedOutSource(std::string name);
// A system call that answered.
Source answeredSource(std::string name);

// Of the sources tried in turn for one value, the one that says most about
// its absence: one only root may read, then one unreadable, then the first
// of the others.
Source either(std::initializer_list<Source> sources);

// A property as a class lists it: its name, its value and where the value
// comes from.
struct Described {
    std::string name;
    ManagementValue value;
    Source from = {};
};

// An instance whose Null properties each carry the reason of their source.
ObjectPtr describedObject(std::string className, std::string path,
                          std::vector<Described> properties);

}  // namespace tolvex::linuxprov
