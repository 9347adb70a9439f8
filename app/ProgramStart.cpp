#include "app/ProgramStart.h"

#include "app/CommandLine.h"
#include "sections/StartupSequence.h"
#include "wmi/WmiNames.h"

namespace tolvex {

ProgramStart::ProgramStart(std::shared_ptr<const snapshot::Snapshot> snapshot)
    : m_snapshot(std::move(snapshot)) {
    if (m_snapshot) {
        m_sockets = std::make_unique<AnsweringSockets>(snapshot::hostOf(*m_snapshot));
    }
}

std::string ProgramStart::title(const std::string& caption) const {
    return m_snapshot ? snapshotTitle(*m_snapshot, caption) : caption;
}

void ProgramStart::readAhead(std::function<ServicePtr()> connect) {
    if (!m_snapshot && !m_readAhead) {
        m_readAhead = std::make_unique<ReadAhead>(std::move(connect), startupClasses());
    }
}

FrmMainParts ProgramStart::parts(WindowSystem& windows, ProgramEnd& programEnd,
                                 BrowserLauncher& browser, NumberFormat format) {
    return {
        [snapshot = m_snapshot, readAhead = m_readAhead.get(),
         used = false](std::string_view moniker) mutable {
            if (snapshot) {
                return connectSnapshot(snapshot, moniker);
            }
            // The connection read ahead serves the first connection only.
            if (readAhead != nullptr && !used && moniker == wmi::kMoniker) {
                used = true;
                return readAhead->service();
            }
            return Connect(moniker);
        },
        windows,
        m_sockets ? *m_sockets : platformSockets(),
        programEnd,
        browser,
        std::move(format),
    };
}

}  // namespace tolvex
