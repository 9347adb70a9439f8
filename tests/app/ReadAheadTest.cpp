// The service read ahead on a thread of its own while the windows are built.
#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <set>

#include "app/ReadAhead.h"
#include "wmi/Failure.h"

namespace tolvex {
namespace {

// Hands out a new set for each request and counts the requests per class;
// the classes named in `failing` fail. Safe to ask from any thread.
class CountingService : public ManagementService {
  public:
    ObjectSetPtr instancesOf(std::string_view className, int) override {
        std::lock_guard lock(m_mutex);
        ++asked[std::string(className)];
        if (failing.count(std::string(className)) != 0) {
            throw Failure(std::string(className) + " cannot be read");
        }
        auto set = std::make_shared<VectorObjectSet>(std::vector<ObjectPtr>{});
        handedOut[std::string(className)].push_back(set);
        return set;
    }
    std::map<std::string, int> asked;
    std::map<std::string, std::vector<ObjectSetPtr>> handedOut;
    std::set<std::string> failing;

  private:
    std::mutex m_mutex;
};

TEST(ReadAhead, EachClassReadAheadIsTakenOnceThenTheServiceAnswers) {
    auto counting = std::make_shared<CountingService>();
    counting->failing = {"Win32_SCSIController"};
    ServicePtr service;
    {
        ReadAhead ahead([counting] { return counting; },
                        {"Win32_Processor", "Win32_SCSIController", "Win32_OperatingSystem"});
        service = ahead.service();
        ASSERT_NE(service, nullptr);

        // Asked out of order and in another letter case: each gets what was
        // read for it, and the failure read ahead is thrown when asked for.
        const ObjectSetPtr os = service->instancesOf("win32_operatingsystem", kReturnImmediately);
        const ObjectSetPtr cpus = service->instancesOf("Win32_Processor", kReturnImmediately);
        try {
            service->instancesOf("Win32_SCSIController", kReturnImmediately);
            ADD_FAILURE() << "the failure read ahead was not thrown";
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.description(), "Win32_SCSIController cannot be read");
        }
        EXPECT_EQ(os, counting->handedOut["Win32_OperatingSystem"].at(0));
        EXPECT_EQ(cpus, counting->handedOut["Win32_Processor"].at(0));
    }  // the thread has ended
    EXPECT_EQ(counting->asked, (std::map<std::string, int>{{"Win32_OperatingSystem", 1},
                                                           {"Win32_Processor", 1},
                                                           {"Win32_SCSIController", 1}}));

    // A second request, and a class not read ahead, are the service's own.
    service->instancesOf("Win32_Processor", kReturnImmediately);
    service->instancesOf("Win32_VideoController", kReturnImmediately);
    EXPECT_EQ(counting->asked["Win32_Processor"], 2);
    EXPECT_EQ(counting->asked["Win32_VideoController"], 1);
}

TEST(ReadAhead, TheConnectionsOwnAnswerIsHandedOn) {
    ReadAhead failing([]() -> ServicePtr { throw Failure("The RPC server is unavailable."); },
                      {"Win32_Processor"});
    try {
        failing.service();
        ADD_FAILURE() << "the connection's failure was not thrown";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.description(), "The RPC server is unavailable.");
    }
    ReadAhead none([]() -> ServicePtr { return nullptr; }, {"Win32_Processor"});
    EXPECT_EQ(none.service(), nullptr);
}

}  // namespace
}  // namespace tolvex
