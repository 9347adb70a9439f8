#include "app/ReadAhead.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>

namespace tolvex {

struct ReadAhead::Shared {
    struct Answer {
        std::string className;
        bool ready = false;
        bool taken = false;
        ObjectSetPtr set;
        std::exception_ptr failure;
    };

    std::mutex mutex;
    std::condition_variable changed;
    bool connected = false;  // the connection has been tried
    ServicePtr service;
    std::exception_ptr connectFailure;
    std::vector<Answer> answers;
};

namespace {

class ReadAheadService : public ManagementService {
  public:
    explicit ReadAheadService(std::shared_ptr<ReadAhead::Shared> shared)
        : m_shared(std::move(shared)) {}

    ObjectSetPtr instancesOf(std::string_view className, int flags) override {
        std::unique_lock lock(m_shared->mutex);
        for (auto& answer : m_shared->answers) {
            if (answer.taken || !sameName(answer.className, className)) {
                continue;
            }
            m_shared->changed.wait(lock, [&] { return answer.ready; });
            answer.taken = true;
            if (answer.failure) {
                std::rethrow_exception(answer.failure);
            }
            return std::move(answer.set);
        }
        const ServicePtr service = m_shared->service;
        lock.unlock();
        return service->instancesOf(className, flags);
    }

  private:
    std::shared_ptr<ReadAhead::Shared> m_shared;
};

void readAll(const std::shared_ptr<ReadAhead::Shared>& shared,
             const std::function<ServicePtr()>& connect) {
    ServicePtr service;
    std::exception_ptr failure;
    try {
        service = connect();
    } catch (...) {
        failure = std::current_exception();
    }
    {
        std::lock_guard lock(shared->mutex);
        shared->connected = true;
        shared->service = service;
        shared->connectFailure = failure;
    }
    shared->changed.notify_all();
    if (!service) {
        return;
    }
    for (std::size_t k = 0; k < shared->answers.size(); ++k) {
        ObjectSetPtr set;
        std::exception_ptr classFailure;
        try {
            // The name is not changed once the thread runs.
            set = service->instancesOf(shared->answers[k].className, kReturnImmediately);
        } catch (...) {
            classFailure = std::current_exception();
        }
        {
            std::lock_guard lock(shared->mutex);
            auto& answer = shared->answers[k];
            answer.set = std::move(set);
            answer.failure = classFailure;
            answer.ready = true;
        }
        shared->changed.notify_all();
    }
}

}  // namespace

ReadAhead::ReadAhead(std::function<ServicePtr()> connect, std::vector<std::string> classes)
    : m_shared(std::make_shared<Shared>()) {
    for (auto& name : classes) {
        m_shared->answers.push_back(
            Shared::Answer{std::move(name), false, false, nullptr, nullptr});
    }
    try {
        m_thread = std::thread(readAll, m_shared, connect);
    } catch (const std::system_error&) {
        // No thread to be had: connect now, and let each class be read when
        // it is asked for.
        m_shared->answers.clear();
        readAll(m_shared, connect);
    }
}

ReadAhead::~ReadAhead() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

ServicePtr ReadAhead::service() {
    std::unique_lock lock(m_shared->mutex);
    m_shared->changed.wait(lock, [&] { return m_shared->connected; });
    if (m_shared->connectFailure) {
        std::rethrow_exception(m_shared->connectFailure);
    }
    if (!m_shared->service) {
        return nullptr;  // as the connection answered
    }
    return std::make_shared<ReadAheadService>(m_shared);
}

}  // namespace tolvex
