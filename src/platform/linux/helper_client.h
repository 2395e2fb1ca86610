// The program's end of the drive helper: starts it through pkexec with one end of a socketpair
// as its standard input, then asks it about drives (answers only), to open the chosen one for
// the wipe (its descriptor comes back over the socket) and to send ATA commands to it. Window
// thread only.
#pragma once

#include <sys/types.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "helper/ata_pass_through.h"
#include "helper/helper_protocol.h"
#include "platform/helper_start.h"

namespace orm::lnx {

// pkexec's absolute path, found when the program was configured.
const char* PkexecPath();

// The helper that the program at exePath starts: for a program in its build tree, the helper
// built beside it; for any other, the installed one. Never one for the other: a missing helper
// is reported, not replaced by one from a folder that someone else may be able to write.
std::string HelperPathFor(const std::string& exePath);
// HelperPathFor this very program.
std::string DefaultHelperPath();

class HelperClient {
  public:
    HelperClient() = default;
    ~HelperClient();  // closes the socket (the helper then ends) and reaps the helper
    HelperClient(const HelperClient&) = delete;
    HelperClient& operator=(const HelperClient&) = delete;

    // Runs `pkexec helperPath` (pkexec by its absolute path; PATH is never searched) and waits
    // until the helper says it runs, or pkexec ends: authentication may take as long as the
    // user needs. From here on the program is not dumpable: its socket to the helper and the
    // drives' descriptors are then out of reach of the user's other processes (no ptrace, no
    // /proc/<pid>/fd), as a read-write disk descriptor takes ATA PASS-THROUGH(12) commands.
    HelperStartResult Start(const std::string& pkexec, const std::string& helperPath);

    // What the helper answers about the drive with this kernel name, without handing it over:
    // its size, logical sector size and, when asked for and the drive answers, its IDENTIFY
    // block. 0, or the errno.
    struct ProbeAnswer {
        std::uint64_t sizeBytes = 0;
        std::uint32_t sectorSize = 0;
        bool haveIdentify = false;
        std::array<std::uint8_t, helper::kDataSize> identify{};
    };
    int ProbeDrive(const std::string& name, bool identify, ProbeAnswer* answer);

    // Opens the drive with this kernel name exclusively for reading and writing, for the wipe.
    // On success *fd is the program's own descriptor (close-on-exec) and *id names the helper's
    // copy; else the errno (EPIPE when the helper has ended).
    int OpenDrive(const std::string& name, int* fd, std::uint32_t* id);

    // Sends cmd to drive id; data receives the 512 bytes of a data-in command.
    helper::AtaSendResult SendAta(std::uint32_t id, const helper::AtaCommand& cmd, std::uint8_t* data);

    void CloseDrive(std::uint32_t id);

    // Whether the helper has ended while the program still needed it, and the sentence that
    // says why: the program closed its end (status 0), it was sent a request it does not take
    // (kExitViolation), or another status or signal.
    bool Ended() const { return m_ended; }
    std::string EndText() const;

  private:
    // Sends one request and reads its answer (and the descriptor that came with it, if any);
    // false when the helper is gone or answered out of turn.
    bool Exchange(const std::vector<std::uint8_t>& request, helper::Answer* answer, int* receivedFd);
    void Shut();
    // The helper's socket closed or failed while it ran: reaps it and keeps its status.
    void NoteEnd();

    int m_socket = -1;
    pid_t m_pid = -1;
    bool m_running = false;  // Ready came
    bool m_ended = false;
    int m_endStatus = 0;  // wait status, -1 when it could not be had
};

}  // namespace orm::lnx
