#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "wmi/Management.h"

namespace tolvex {

// Connects to a management service and reads the classes the start-up
// sequence will ask for, in its order, on a thread of its own, while the
// windows are being built. service() hands out a service whose first request
// for each of those classes takes what was read ahead (waiting for it where
// the thread has not got there yet), its failure included; every other
// request goes straight to the service. The thread shares nothing with the
// caller but what it has finished reading, and the service itself, whose
// provider reads the machine from any thread.
class ReadAhead {
  public:
    ReadAhead(std::function<ServicePtr()> connect, std::vector<std::string> classes);
    ~ReadAhead();  // waits for the thread
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The service, once connected; throws what connecting threw.
    ServicePtr service();

    struct Shared;

  private:
    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
};

}  // namespace tolvex
