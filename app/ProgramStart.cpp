#include "app/ProgramStart.h"

#include "app/CommandLine.h"

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

FrmMainParts ProgramStart::parts(WindowSystem& windows, ProgramEnd& programEnd,
                                 BrowserLauncher& browser, NumberFormat format) {
    return {
        [snapshot = m_snapshot](std::string_view moniker) {
            return snapshot ? connectSnapshot(snapshot, moniker) : Connect(moniker);
        },
        windows,
        m_sockets ? *m_sockets : platformSockets(),
        programEnd,
        browser,
        std::move(format),
    };
}

}  // namespace tolvex
