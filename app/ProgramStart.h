#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/ReadAhead.h"
#include "app/frmMain.h"
#include "net/HostAnswer.h"
#include "wmi/snapshot/Snapshot.h"

namespace tolvex {

// The start both programs share once the command line is read: frmMain reads
// this machine, or the snapshot the user named, whose host then answers for
// the sockets.
class ProgramStart {
  public:
    // No snapshot: this machine.
    explicit ProgramStart(std::shared_ptr<const snapshot::Snapshot> snapshot);

    // The main window's title: its caption for this machine; over a
    // snapshot, the caption with the machine's name and "snapshot".
    std::string title(const std::string& caption) const;

    // Starts connecting to this machine's service and reading what the
    // start-up sequence will ask of it, on a thread of its own, so that the
    // reading overlaps building the windows; frmMain's connection then takes
    // it. Nothing to do over a snapshot. For a service that may be used from
    // another thread than the one that connected (not the Windows one, which
    // belongs to its thread's apartment).
    void readAhead(std::function<ServicePtr()> connect);

    // frmMain's parts: the service and the sockets of this machine or of the
    // snapshot, with the front end's own pieces.
    FrmMainParts parts(WindowSystem& windows, ProgramEnd& programEnd, BrowserLauncher& browser,
                       NumberFormat format);

  private:
    std::shared_ptr<const snapshot::Snapshot> m_snapshot;
    std::unique_ptr<AnsweringSockets> m_sockets;  // over a snapshot
    std::unique_ptr<ReadAhead> m_readAhead;
};

}  // namespace tolvex
