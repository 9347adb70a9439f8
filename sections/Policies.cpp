#include "sections/Policies.h"

#include "wmi/Conversions.h"

namespace tolvex {

namespace {

// Lists one instance: its item text and its path. An instance without a
// path gets neither. The item text is formed before anything is stored so
// that a failure leaves the selector and the path list in step.
void listInstance(SectionContext& context, SelectorSection& section,
                  const SelectorDetection& detection, const ManagementObject& instance) {
    const std::string path = instance.path();
    if (path.empty()) {
        return;
    }
    const std::string itemText =
        strictText(instance.property(detection.itemProperty), context.format);
    context.screen.addItem(detection.selector, itemText);
    storePath(section, path);
}

}  // namespace

void storePath(SelectorSection& section, const std::string& path) {
    if (section.InstancePathList.empty() || section.InstancePathList.front().empty()) {
        section.InstancePathList.assign(1, path);
    } else {
        section.InstancePathList.push_back(path);
    }
}

ObjectSetPtr enumerateClass(const MainState& state, std::string_view className) {
    if (!state.ManagementService) {
        throw Failure(kObjectNotSet);
    }
    ObjectSetPtr set = state.ManagementService->instancesOf(className, kReturnImmediately);
    if (!set) {
        throw Failure(kObjectNotSet);
    }
    return set;
}

void detectSelectorSection(SectionContext& context, SelectorSection& section,
                           const SelectorDetection& detection) {
    section.InstancePathList.assign(1, std::string());
    Screen& screen = context.screen;

    if (detection.failureText.empty()) {
        // SkipOnFailure: each instance is a step of its own.
        skipOnFailure([&] {
            section.InstanceSet = enumerateClass(context.state, detection.className);
            auto walk = section.InstanceSet->enumerate();
            for (;;) {
                ObjectPtr instance;
                bool ended = false;
                skipOnFailure([&] {
                    instance = walk->next();
                    ended = !instance;
                });
                if (ended) {
                    break;
                }
                if (instance) {
                    skipOnFailure([&] { listInstance(context, section, detection, *instance); });
                } else {
                    break;  // a walk that fails cannot go on
                }
            }
        });
        skipOnFailure([&] {
            if (screen.itemCount(detection.selector) > 0) {
                screen.setSelectedIndex(detection.selector, 0);
            }
        });
        return;
    }

    reportAndStop(screen, detection.failureText, [&] {
        section.InstanceSet = enumerateClass(context.state, detection.className);
        if (!detection.countLabel.empty()) {
            screen.setText(detection.countLabel, std::to_string(section.InstanceSet->count()) +
                                                     std::string(detection.countText));
        }
        auto walk = section.InstanceSet->enumerate();
        while (ObjectPtr instance = walk->next()) {
            listInstance(context, section, detection, *instance);
        }
        if (screen.itemCount(detection.selector) > 0) {
            screen.setSelectedIndex(detection.selector, 0);
        }
    });
}

ObjectPtr fetchInstance(const SelectorSection& section, int position) {
    if (position < 0 || position >= static_cast<int>(section.InstancePathList.size())) {
        throw Failure(kSubscriptOutOfRange);
    }
    if (!section.InstanceSet) {
        throw Failure(kObjectNotSet);
    }
    ObjectPtr instance =
        section.InstanceSet->item(section.InstancePathList[static_cast<std::size_t>(position)], 0);
    if (!instance) {
        throw Failure(kObjectNotSet);
    }
    return instance;
}

ObjectPtr fetchSelected(SectionContext& context, const SelectorSection& section,
                        std::string_view selector) {
    return fetchInstance(section, context.screen.selectedIndex(selector));
}

}  // namespace tolvex
